#pragma once

// The names under which the operator's own settings are kept, in the user's configuration
// folder (~/.config/Tarnvale/tarnvale-manager.conf); the program gives them to its
// application object too.
inline constexpr char kOrganisationName[] = "Tarnvale";
inline constexpr char kApplicationName[] = "tarnvale-manager";
