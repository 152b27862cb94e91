// One binary for the window tests; each QObject suite runs in turn. Named
// test functions on the command line run in the suites that have them.
#include <QApplication>
#include <QMetaMethod>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "qt/look.h"

std::unique_ptr<QObject> MakeWindowTest();
std::unique_ptr<QObject> MakeViewTest();
std::unique_ptr<QObject> MakeRewriteWindowTest();
std::unique_ptr<QObject> MakeRegenerateWindowTest();
std::unique_ptr<QObject> MakeAnalyseWindowTest();
std::unique_ptr<QObject> MakeDesktopWindowTest();
std::unique_ptr<QObject> MakeFinishWindowTest();

namespace {

bool HasAllNamedFunctions(const QObject& suite, int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    QByteArray name(argv[i]);
    if (name.startsWith('-')) return true;  // options: let QTest handle them
    if (qsizetype colon = name.indexOf(':'); colon >= 0) name.truncate(colon);  // name:dataTag
    if (suite.metaObject()->indexOfMethod(QByteArray(name + "()").constData()) < 0) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // What the window remembers goes to a folder of the test run's own, never
  // to the user's settings.
  QTemporaryDir settings;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  brim::qt::InstallFontFallbacks();
  int failures = 0;
  for (auto make : {MakeWindowTest, MakeViewTest, MakeRewriteWindowTest, MakeRegenerateWindowTest,
                    MakeAnalyseWindowTest, MakeDesktopWindowTest,
                    MakeFinishWindowTest}) {
    std::unique_ptr<QObject> suite = make();
    if (HasAllNamedFunctions(*suite, argc, argv)) failures += QTest::qExec(suite.get(), argc, argv);
  }
  return failures == 0 ? 0 : 1;
}
