#include "app/withoutopengl.h"

#include <QByteArray>
#include <QtGlobal>

namespace {
const char kVariable[] = "QT_XCB_GL_INTEGRATION";
}

WithoutOpenGl::WithoutOpenGl()
    : chosenByUser(qEnvironmentVariableIsSet(kVariable))
{
    if (!chosenByUser)
        qputenv(kVariable, QByteArrayLiteral("none"));
}

WithoutOpenGl::~WithoutOpenGl()
{
    if (!chosenByUser)
        qunsetenv(kVariable);
}
