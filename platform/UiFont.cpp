#include "UiFont.h"

#include <QFontDatabase>
#include <QStringList>

QFont GulimFont(int pixelSize)
{
    QFont font;
    const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    const QStringList families = {QStringLiteral("굴림체"), QStringLiteral("GulimChe"),
                                  QStringLiteral("NanumGothicCoding"),
                                  QStringLiteral("Noto Sans Mono CJK KR"), fixed};
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}
