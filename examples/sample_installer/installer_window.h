// The sample installer's one window: what it found, and a button that ends
// the installation.
#pragma once

#include "staging_view.h"

constexpr char SAMPLE_INSTALLER_TITLE[] = "Beispiel-Installation";
constexpr char DONE_BUTTON_TEXT[] = "Fertig";
constexpr UINT MSG_INSTALLER_DONE = 666;  // the preloader waits for it

// Creates and shows the window; false when the platform refuses.
bool CreateInstallerWindow(HINSTANCE instance, const StagingView* view);
