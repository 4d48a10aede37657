// CLoaderApp: the application object of zema-loader.
#pragma once

class CLoaderApp {
 public:
  // Start-up: Qt's own catalogue for the user's language, the program icon,
  // then the main dialog with the settings file of this executable, run
  // modally. Returns false: the program ends as
  // soon as the main dialog has closed.
  bool InitInstance();
};
