#include "cli/activatecommand.h"

ActivateCommand::ActivateCommand()
    : SetIpCommand(QStringLiteral("activate"),
                   QStringLiteral("As set-ip, but activates the device with the password (which it keeps from then "
                                  "on) instead of logging in."),
                   Road::Activate)
{
}
