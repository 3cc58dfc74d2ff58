#pragma once

// tarnvale-cli activate SN NEW_IP: set-ip for a device that has no password yet.

#include "cli/setipcommand.h"

class ActivateCommand : public SetIpCommand
{
public:
    ActivateCommand();
};
