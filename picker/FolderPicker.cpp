#include "FolderPicker.h"

#include "FolderBrowser.h"
#include "platform/DialogService.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

namespace {

struct BuiltInCaption
{
    const char *key;
    const char *newFolder;
    const char *title;
};

// The captions the component knows, by Windows language identifier.
const BuiltInCaption builtInCaptions[] = {
    {"Default", "New folder", "Current folder:"},
    {"0009", "New folder", "Current folder:"},
    {"0406", "Ny mappe", "Valgt mappe:"},
    {"0407", "Neuer Ordner", "Ausgewählter Ordner:"},
    {"0409", "New folder", "Current folder:"},
    {"040C", "Nouveau Dossier", "Dossier Courant:"},
    {"0410", "Nuova Cartella", "Cartella selezionata:"},
    {"0413", "Nieuwe map", "Huidige map:"},
    {"0415", "Nowy folder", "Bieżący folder:"},
    {"0416", "Nova Pasta", "Pasta Atual:"},
    {"0807", "Neuer Ordner", "Ausgewählter Ordner:"},
    {"0C07", "Neuer Ordner", "Ausgewählter Ordner:"},
    {"1007", "Neuer Ordner", "Ausgewählter Ordner:"},
    {"1407", "Neuer Ordner", "Ausgewählter Ordner:"},
    {"080C", "Nouveau Dossier", "Dossier Courant:"},
    {"0C0C", "Nouveau Dossier", "Dossier Courant:"},
    {"100C", "Nouveau Dossier", "Dossier Courant:"},
    {"140C", "Nouveau Dossier", "Dossier Courant:"},
    {"180C", "Nouveau Dossier", "Dossier Courant:"},
    {"0810", "Nuova Cartella", "Cartella selezionata:"},
    {"0809", "New folder", "Current folder:"},
    {"0C09", "New folder", "Current folder:"},
    {"1009", "New folder", "Current folder:"},
    {"1409", "New folder", "Current folder:"},
    {"1809", "New folder", "Current folder:"},
    {"1C09", "New folder", "Current folder:"},
    {"2009", "New folder", "Current folder:"},
    {"2809", "New folder", "Current folder:"},
    {"2C09", "New folder", "Current folder:"},
};

struct Sublanguage
{
    QLocale::Territory territory;
    quint16 sub;
};

struct LanguageEntry
{
    QLocale::Language language;
    quint16 primary;
    std::initializer_list<Sublanguage> territories;
};

// Windows language identifiers: primary language in the low ten bits, sublanguage above.
const LanguageEntry languageTable[] = {
    {QLocale::Danish, 0x06, {{QLocale::Denmark, 1}}},
    {QLocale::German,
     0x07,
     {{QLocale::Germany, 1},
      {QLocale::Switzerland, 2},
      {QLocale::Austria, 3},
      {QLocale::Luxembourg, 4},
      {QLocale::Liechtenstein, 5}}},
    {QLocale::English,
     0x09,
     {{QLocale::UnitedStates, 1},
      {QLocale::UnitedKingdom, 2},
      {QLocale::Australia, 3},
      {QLocale::Canada, 4},
      {QLocale::NewZealand, 5},
      {QLocale::Ireland, 6},
      {QLocale::SouthAfrica, 7},
      {QLocale::Jamaica, 8},
      {QLocale::Belize, 10},
      {QLocale::TrinidadAndTobago, 11},
      {QLocale::Zimbabwe, 12},
      {QLocale::Philippines, 13},
      {QLocale::India, 16},
      {QLocale::Malaysia, 17},
      {QLocale::Singapore, 18}}},
    {QLocale::French,
     0x0C,
     {{QLocale::France, 1},
      {QLocale::Belgium, 2},
      {QLocale::Canada, 3},
      {QLocale::Switzerland, 4},
      {QLocale::Luxembourg, 5},
      {QLocale::Monaco, 6}}},
    {QLocale::Italian, 0x10, {{QLocale::Italy, 1}, {QLocale::Switzerland, 2}}},
    {QLocale::Korean, 0x12, {{QLocale::SouthKorea, 1}}},
    {QLocale::Dutch, 0x13, {{QLocale::Netherlands, 1}, {QLocale::Belgium, 2}}},
    {QLocale::Polish, 0x15, {{QLocale::Poland, 1}}},
    {QLocale::Portuguese, 0x16, {{QLocale::Brazil, 1}, {QLocale::Portugal, 2}}},
};

std::optional<QLocale> g_locale;

// The first n UTF-16 units of text, one fewer when the cut would split a surrogate pair.
QString leftWhole(const QString &text, int n)
{
    if (n <= 0)
        return {};
    if (n >= text.size())
        return text;
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

QString firstExistingDir(QStandardPaths::StandardLocation location)
{
    for (const QString &dir : QStandardPaths::standardLocations(location))
        if (QFileInfo(dir).isDir())
            return dir;
    return {};
}

QString existingDir(const QString &dir)
{
    return !dir.isEmpty() && QFileInfo(dir).isDir() ? dir : QString();
}

QString wholeFileSystem()
{
#ifdef Q_OS_WIN
    return QString(); // the file-system model's "My Computer": every drive
#else
    return QDir::rootPath();
#endif
}

} // namespace

TFolderPickerDialog::TFolderPickerDialog(QObject *parent)
    : QObject(parent)
    , m_labelCaptions(DefaultLabelCaptions())
    , m_newFolderCaptions(DefaultNewFolderCaptions())
{
    // Usable before Loaded(); Loaded() chooses again from the lists then in place.
    const QString key = LanguageKey(SystemLocale());
    m_titleCaption = ChooseCaption(m_labelCaptions, key);
    m_newFolderCaption = ChooseCaption(m_newFolderCaptions, key);
    connect(this, &TFolderPickerDialog::OnSelectionChanged, this,
            [this](TFolderPickerDialog *, QWidget *, const QString &path, const QModelIndex &) {
                if (!path.isEmpty())
                    m_lastSelected = path;
            });
}

QWidget *TFolderPickerDialog::OwnerWindow() const
{
    if (m_owner)
        return m_owner->window();
    for (QObject *o = parent(); o; o = o->parent())
        if (o->isWidgetType())
            return static_cast<QWidget *>(o)->window();
    return QApplication::activeWindow();
}

void TFolderPickerDialog::Loaded()
{
    const QString key = LanguageKey(SystemLocale());
    m_titleCaption = ChooseCaption(m_labelCaptions, key);
    m_newFolderCaption = ChooseCaption(m_newFolderCaptions, key);
    m_loaded = true;
}

bool TFolderPickerDialog::Execute()
{
    if (!m_loaded)
        Loaded();
    QString start = m_folder;
    // A new folder closes the chooser; it opens again with that folder selected.
    for (;;) {
        TFolderBrowser browser(*this, start, OwnerWindow());
        const std::optional<QString> chosen = DialogService::current().chooseFolder(
            browser, [&] { return browser.SelectedFolder(); });
        if (!browser.CreatedFolder().isEmpty()) {
            start = browser.CreatedFolder();
            continue;
        }
        if (!chosen)
            return false;
        m_folder = *chosen;
        return true;
    }
}

QStringList TFolderPickerDialog::DefaultLabelCaptions()
{
    QStringList lines;
    for (const BuiltInCaption &c : builtInCaptions)
        lines << QString::fromLatin1(c.key) + u'=' + QString::fromUtf8(c.title);
    return lines;
}

QStringList TFolderPickerDialog::DefaultNewFolderCaptions()
{
    QStringList lines;
    for (const BuiltInCaption &c : builtInCaptions)
        lines << QString::fromLatin1(c.key) + u'=' + QString::fromUtf8(c.newFolder);
    return lines;
}

QString TFolderPickerDialog::ChooseCaption(const QStringList &lines, const QString &key)
{
    if (lines.isEmpty())
        return {};
    // A line without "=" is a caption without a key.
    const auto nameOf = [](const QString &line) {
        const qsizetype eq = line.indexOf(u'=');
        return eq < 0 ? QString() : line.left(eq).trimmed();
    };
    const auto textOf = [](const QString &line) {
        const qsizetype eq = line.indexOf(u'=');
        return eq < 0 ? line : line.mid(eq + 1);
    };
    for (const QString &wanted : {key, QStringLiteral("Default")})
        for (const QString &line : lines)
            if (!wanted.isEmpty() && nameOf(line).compare(wanted, Qt::CaseInsensitive) == 0)
                return textOf(line);
    return textOf(lines.first());
}

quint16 TFolderPickerDialog::LanguageId(const QLocale &locale)
{
    for (const LanguageEntry &entry : languageTable) {
        if (entry.language != locale.language())
            continue;
        for (const Sublanguage &s : entry.territories)
            if (s.territory == locale.territory())
                return quint16((s.sub << 10) | entry.primary);
        // Only the language is known.
        return entry.primary;
    }
    return 0;
}

QString TFolderPickerDialog::LanguageKey(const QLocale &locale)
{
    return QStringLiteral("%1").arg(LanguageId(locale), 4, 16, QLatin1Char('0')).toUpper();
}

QLocale TFolderPickerDialog::SystemLocale()
{
    return g_locale ? *g_locale : QLocale::system();
}

void TFolderPickerDialog::SetSystemLocale(const std::optional<QLocale> &locale)
{
    g_locale = locale;
}

int TFolderPickerDialog::ShellFolderNumber(TRootFolder root)
{
    static const int numbers[] = {0x0, -1,  0x2, 0x3,  0x4,  0x5,  0x6,  0x7,  0x8,
                                  0x9, 0xA, 0xB, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15};
    const int i = int(root);
    return i >= 0 && i < int(std::size(numbers)) ? numbers[i] : -1;
}

QString TFolderPickerDialog::RootPath(TRootFolder root)
{
    const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    QString path;
    switch (root) {
    case foPersonal: path = firstExistingDir(QStandardPaths::DocumentsLocation); break;
    case foDesktopFolder: path = firstExistingDir(QStandardPaths::DesktopLocation); break;
    case foFonts: path = firstExistingDir(QStandardPaths::FontsLocation); break;
    case foTemplates: path = firstExistingDir(QStandardPaths::TemplatesLocation); break;
    case foPrograms:
    case foStartMenu: path = firstExistingDir(QStandardPaths::ApplicationsLocation); break;
    case foStartup:
        path = existingDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                           + QStringLiteral("/autostart"));
        break;
    case foRecycleBin:
        path = existingDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                           + QStringLiteral("/Trash/files"));
        break;
    case foFavorites:
    case foRecent:
    case foSendto: path = home; break;
    default:
        // Desktop, computer, control panel, printers and network have no folder of their own.
        return wholeFileSystem();
    }
    // A per-user folder that is not there yet: the home folder stands in.
    if (path.isEmpty())
        path = existingDir(home);
    return path.isEmpty() ? wholeFileSystem() : QDir::cleanPath(path);
}

QString TFolderPickerDialog::ShortenForStatus(const QString &path, int limit)
{
    const QChar sep = QDir::separator();
    if (path.size() <= limit || limit <= 5 || !path.contains(sep))
        return leftWhole(path, limit);
    if (path.mid(2).count(sep) <= 1)
        return leftWhole(path, limit);
    QString prefix;
    QString text = path;
    const qsizetype first = path.indexOf(sep);
    if (first == 1 || first == 2) {
        prefix = QString(2, sep);
        text = path.mid(2);
    }
    // text still holds a separator: path had at least two past its second character.
    prefix += text.left(text.indexOf(sep) + 1) + QStringLiteral("...");
    QString rest = text;
    do {
        rest = rest.mid(rest.indexOf(sep) + 1);
    } while (prefix.size() + rest.size() >= limit && rest.contains(sep));
    if (prefix.size() + rest.size() >= limit)
        return leftWhole(prefix + sep + rest, limit - 3) + QStringLiteral("...");
    return prefix + sep + rest;
}
