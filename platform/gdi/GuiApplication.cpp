#include "platform/gdi/GuiApplication.h"

#include <QGuiApplication>
#include <cstdlib>

namespace platform::gdi {

void ensureGuiApplication() {
  if (QCoreApplication::instance()) return;
  // Text at printer resolutions draws a hundred times slower once glyphs
  // pass Qt's cache limit; raise it before the first glyph is cached.
  setenv("QT_MAX_CACHED_GLYPH_SIZE", "1024", 0);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "folisto-brelvane";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* application = new QGuiApplication(argc, argv);
  (void)application;
}

}  // namespace platform::gdi
