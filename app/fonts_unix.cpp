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
    // "黑体" and "宋体" take their Latin letters from a family of the same kind (a plain sans,
    // a narrow serif) and their Chinese ones from the fallback for the script, a CJK font
    // such as WenQuanYi Micro Hei. That font is large: it is loaded only once Chinese is
    // shown, not for the English window.
    QFont::insertSubstitutions(QStringLiteral("黑体"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
    QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("Liberation Serif"));
}
