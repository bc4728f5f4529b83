// The one window of the preloader: a small waiting window that does all the
// preparation of the installation while it is being constructed.
#pragma once

#include "window.h"

class MainWindow : public Window {
 public:
  // Creates and shows the window, unpacks SETUP.TMP and starts the
  // installer; returns when that is done.
  MainWindow();

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void TurnIntoWaitingWindow();
  void CleanUp();
};
