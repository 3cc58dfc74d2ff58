#include "app/fonts.h"

#include <QFont>
#include <QString>

void substituteWindowsFonts()
{
    // The forms' boxes are sized for these fonts. Without them the toolkit falls back to a
    // wider family (DejaVu Sans, Noto Sans) and "Select Network Card:" loses its first
    // letter; the packages that provide these families are dependencies of the program.
    QFont::insertSubstitutions(QStringLiteral("Segoe UI"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
    QFont::insertSubstitution(QStringLiteral("黑体"), QStringLiteral("WenQuanYi Micro Hei"));
    // The Latin letters of "宋体" are a narrow serif; its Chinese ones come from the
    // fallback for the script, a CJK font such as the one above.
    QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("Liberation Serif"));
}
