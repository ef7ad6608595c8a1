#include "CommandLine.h"

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "records/ContactExport.h"
#include "records/ContactImport.h"
#include "records/History.h"
#include "records/RecordStore.h"
#include "sync/SyncAccount.h"
#include "sync/SyncEngine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

const char *const OptionNames[] = {"import", "export", "into", "from", "format", "encoding",
                                   "data",   "help",   "h",    "sync", "account"};

const char *const HelpText = R"(사용법:
  vandrel --import 파일.vcf... [--into 폴더] [--data 자료폴더]
  vandrel --export 출력 [--from 폴더] [--format vcf|vcard-folder|csv]
          [--encoding utf-8|cp949] [--data 자료폴더]
  vandrel --sync [--account 계정] [--data 자료폴더]

창을 열지 않고 연락처를 가져오거나 내보내거나 동기화합니다. 실행 중인 Vandrel이
있어도 됩니다.

  --import            vCard 파일(2.1, 3.0, 4.0)의 카드마다 자료를 하나씩 만듭니다.
                      UID가 같은 자료가 이미 있으면 새로 만들지 않고 그 자료를 고칩니다.
  --into 폴더         가져올 폴더 (자료 폴더 기준 상대 경로, 없으면 만듭니다).
                      없으면 자료 폴더 맨 위.
  --export 출력       내보낼 파일, vcard-folder 형식이면 폴더.
  --from 폴더         내보낼 폴더와 그 하위 폴더 (자료 폴더 기준 상대 경로).
                      없으면 자료 폴더 전체.
  --format 형식       vcf: vCard 3.0 파일 하나, vcard-folder: 자료마다 .vcf 하나
                      (동기화 도구용), csv: 표. 없으면 출력 이름으로 정합니다
                      (.csv는 csv, 있는 폴더나 /로 끝나면 vcard-folder, 그 밖에는 vcf).
  --encoding 인코딩   csv의 인코딩: utf-8 (BOM 포함, 기본) 또는 cp949.
  --sync              동기화 설정의 CardDAV 주소록과 양쪽으로 동기화하고 보고를
                      출력합니다. 암호는 키링에서 읽고, 키링이 없거나 암호가 없으면
                      환경 변수 VANDREL_SYNC_PASSWORD에서 읽습니다.
  --account 계정      동기화할 계정의 이름. 없으면 모든 계정을 차례로.
  --data 자료폴더     설정 파일의 자료 폴더 대신 쓸 폴더.
  --help              이 도움말.

끝나면 보고를 출력하고, 성공하면 0, 실패하면 1, 인자가 틀리면 2로 끝납니다.
)";

void print(FILE *to, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fputc('\n', to);
}

int usageError(const QString &message)
{
    print(stderr, QStringLiteral("vandrel: ") + message);
    print(stderr, QStringLiteral("vandrel --help 로 사용법을 볼 수 있습니다."));
    return 2;
}

// The data directory of the run: the one given, else the settings' (read alone: a running
// window holds the instance lock, and this never waits for it or shows anything). Nothing,
// said on stderr, when it is not there.
std::optional<QString> dataDirOf(const QString &argument)
{
    const QString dir = Paths::WithoutTrailingSeparator(QDir::toNativeSeparators(
        argument.isEmpty() ? Settings(QCoreApplication::applicationDirPath()).dataDir()
                           : QDir(argument).absolutePath()));
    if (!RecordStore::IsDataDir(dir)) {
        print(stderr, QStringLiteral("vandrel: 자료 폴더가 없습니다: %1").arg(dir));
        return std::nullopt;
    }
    return dir;
}

// The data directory's history for the run: what the command line changes there is a commit of
// its own ("가져오기: 120개", "동기화: …"), also while the window has the history open.
class RunHistory
{
public:
    explicit RunHistory(const QString &dataDir)
        : m_history(dataDir)
    {
        // The first commit, where there is none yet, holds the data directory as it was.
        m_history.Flush();
    }
    ~RunHistory()
    {
        m_history.Flush();
        // No window to tell it: said here, once. A data directory in a git working tree of the
        // user's gets no history, and that is no fault.
        if (!m_history.IsOn() && History::Note(m_history.DataDir()).isEmpty())
            print(stderr, QStringLiteral("vandrel: 자료 이력을 남기지 못했습니다: %1")
                              .arg(m_history.OffReason()));
    }
    RunHistory(const RunHistory &) = delete;
    RunHistory &operator=(const RunHistory &) = delete;

private:
    History m_history;
};

// The sync of one account, with the settings beside the program; prefix goes before its
// report where several accounts sync.
int syncAccount(const Settings &settings, const SyncAccount &account, const QString &dataDir,
                const QString &prefix)
{
    QString why;
    const std::optional<QString> password = SyncPassword(
        account,
        [](const QString &) -> std::optional<QString> {
            if (!qEnvironmentVariableIsSet("VANDREL_SYNC_PASSWORD"))
                return std::nullopt;
            return qEnvironmentVariable("VANDREL_SYNC_PASSWORD");
        },
        &why);
    if (!password) {
        print(stderr, QStringLiteral("vandrel: %1암호가 없습니다. %2 환경 변수 "
                                     "VANDREL_SYNC_PASSWORD로 암호를 줄 수 있습니다.")
                          .arg(prefix, why));
        return 1;
    }
    const std::optional<SyncEngine::Request> request =
        account.EngineRequest(settings, dataDir, *password);
    if (!request)
        return print(stderr,
                     QStringLiteral("vandrel: %1동기화할 폴더가 자료 폴더 밖에 있습니다: %2")
                         .arg(prefix, account.folder)),
               1;
    const SyncReport report = SyncEngine::Run(*request);
    print(stdout, prefix + report.Text());
    if (report.Failed() || report.cancelled) {
        print(stderr, QStringLiteral("vandrel: %1동기화를 마치지 못했습니다.").arg(prefix));
        return 1;
    }
    return 0;
}

// The named account, or every account in turn; 1 when any of them did not sync to its end.
int runSync(const QString &accountName, const QString &dataArgument)
{
    const Settings settings(QCoreApplication::applicationDirPath());
    const QStringList names =
        accountName.isEmpty() ? SyncAccount::Names(settings) : QStringList{accountName};
    QList<SyncAccount> accounts;
    for (const QString &name : names)
        if (const std::optional<SyncAccount> account = SyncAccount::Load(settings, name))
            accounts << *account;
    if (accounts.isEmpty()) {
        print(stderr,
              accountName.isEmpty()
                  ? QStringLiteral("vandrel: 동기화 계정이 없습니다. 파일 → 동기화 설정에서 "
                                   "계정을 만드십시오.")
                  : QStringLiteral("vandrel: 동기화 계정이 없습니다: %1").arg(accountName));
        return 1;
    }
    const std::optional<QString> dataDir = dataDirOf(dataArgument);
    if (!dataDir)
        return 1;
    const RunHistory history(*dataDir);
    int status = 0;
    for (const SyncAccount &account : std::as_const(accounts)) {
        const QString prefix =
            accounts.size() > 1 ? account.name + QStringLiteral(": ") : QString();
        status = std::max(status, syncAccount(settings, account, *dataDir, prefix));
    }
    return status;
}

} // namespace

bool IsCommandLine(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        QByteArray arg(argv[i]);
        if (!arg.startsWith('-'))
            continue;
        arg = arg.mid(arg.startsWith("--") ? 2 : 1);
        arg = arg.left(arg.indexOf('=') < 0 ? arg.size() : arg.indexOf('='));
        for (const char *name : OptionNames)
            if (arg == name)
                return true;
    }
    return false;
}

int RunCommandLine(int &argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vandrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANDREL_VERSION_STRING));

    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption import(QStringLiteral("import"));
    const QCommandLineOption exportTo(QStringLiteral("export"), {}, QStringLiteral("OUT"));
    const QCommandLineOption into(QStringLiteral("into"), {}, QStringLiteral("FOLDER"));
    const QCommandLineOption from(QStringLiteral("from"), {}, QStringLiteral("FOLDER"));
    const QCommandLineOption format(QStringLiteral("format"), {}, QStringLiteral("FORMAT"));
    const QCommandLineOption encoding(QStringLiteral("encoding"), {}, QStringLiteral("ENCODING"));
    const QCommandLineOption data(QStringLiteral("data"), {}, QStringLiteral("DIR"));
    const QCommandLineOption sync(QStringLiteral("sync"));
    const QCommandLineOption account(QStringLiteral("account"), {}, QStringLiteral("NAME"));
    parser.addOptions({help, import, exportTo, into, from, format, encoding, data, sync, account});
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        print(stdout, QString::fromUtf8(HelpText).trimmed());
        return 0;
    }
    if (parser.isSet(sync)) {
        if (parser.isSet(import) || parser.isSet(exportTo) || parser.isSet(into)
            || parser.isSet(from) || parser.isSet(format) || parser.isSet(encoding)
            || !parser.positionalArguments().isEmpty())
            return usageError(QStringLiteral("--sync에는 --account와 --data만 함께 씁니다."));
        return runSync(parser.value(account), parser.value(data));
    }
    if (parser.isSet(account))
        return usageError(QStringLiteral("--account는 --sync에만 씁니다."));
    const bool importing = parser.isSet(import);
    if (importing == parser.isSet(exportTo))
        return usageError(QStringLiteral("--import나 --export 가운데 하나를 주십시오."));
    const QStringList files = parser.positionalArguments();
    if (importing && files.isEmpty())
        return usageError(QStringLiteral("가져올 vCard 파일을 주십시오."));
    if (!importing && !files.isEmpty())
        return usageError(QStringLiteral("알 수 없는 인자: %1").arg(files.join(u' ')));
    if (importing && (parser.isSet(from) || parser.isSet(format) || parser.isSet(encoding)))
        return usageError(QStringLiteral("--from, --format, --encoding은 --export에만 씁니다."));
    if (!importing && parser.isSet(into))
        return usageError(QStringLiteral("--into는 --import에만 씁니다."));

    const std::optional<QString> found = dataDirOf(parser.value(data));
    if (!found)
        return 1;
    const QString dataDir = *found;

    const QString folderArgument = parser.value(importing ? into : from);
    const auto folder = Paths::RelativeParts(folderArgument);
    if (!folder)
        return usageError(
            QStringLiteral("폴더는 자료 폴더 안의 상대 경로로 주십시오: %1").arg(folderArgument));
    ContactReport report;
    std::optional<RunHistory> history;
    try {
        if (importing) {
            // Made by the import when a record goes there, so a failed one leaves no folder.
            const QString target = RecordStore::FolderPath(dataDir, *folder);
            history.emplace(dataDir);
            report = ContactImport::Import(files, target, {}, dataDir);
            const bool nothing = report.written == 0 && report.updated.isEmpty()
                                 && report.unchanged == 0 && report.folders == 0;
            if (nothing && !report.skipped.isEmpty())
                report.errors << QStringLiteral("카드를 하나도 가져오지 못했습니다.");
        } else {
            ContactExport::Request request;
            request.dataDir = dataDir;
            request.folder =
                folder->isEmpty()
                    ? dataDir
                    : Paths::Native(QFileInfo(Paths::Join(dataDir, folder->join(QDir::separator())))
                                        .absoluteFilePath());
            const QString out = parser.value(exportTo);
            request.out = Paths::Native(QDir(out).absolutePath());
            const QString kind = parser.value(format).toLower();
            if (kind == u"vcf")
                request.format = ContactExport::Format::VCardFile;
            else if (kind == u"vcard-folder")
                request.format = ContactExport::Format::VCardFolder;
            else if (kind == u"csv")
                request.format = ContactExport::Format::Csv;
            else if (!kind.isEmpty())
                return usageError(QStringLiteral("알 수 없는 형식: %1").arg(kind));
            else if (out.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
                request.format = ContactExport::Format::Csv;
            else if (QFileInfo(out).isDir() || out.endsWith(u'/')
                     || out.endsWith(QDir::separator()))
                request.format = ContactExport::Format::VCardFolder;
            const QString enc = parser.value(encoding).toLower();
            if (!enc.isEmpty() && request.format != ContactExport::Format::Csv)
                return usageError(QStringLiteral("--encoding은 csv에만 씁니다."));
            if (enc == u"cp949")
                request.csvCp949 = true;
            else if (!enc.isEmpty() && enc != u"utf-8" && enc != u"utf8")
                return usageError(QStringLiteral("알 수 없는 인코딩: %1").arg(enc));
            // An export changes records too: UIDs given, cards taken in from a vCard folder.
            history.emplace(dataDir);
            report = ContactExport::Export(request);
        }
    } catch (const VandrelError &e) {
        report.errors << e.message();
    }
    print(stdout, report.Text());
    if (report.failed()) {
        print(stderr, importing ? QStringLiteral("vandrel: 가져오기에 실패했습니다.")
                                : QStringLiteral("vandrel: 내보내기에 실패했습니다."));
        return 1;
    }
    return 0;
}
