#include "qt/open_url.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace brim::qt {

void OpenInBrowser(const QUrl& url, QObject* owner, std::function<void()> failed) {
  const QString opener = QStandardPaths::findExecutable("xdg-open");
  if (opener.isEmpty() || !owner) {
    if (!QDesktopServices::openUrl(url)) failed();
    return;
  }
  auto* process = new QProcess(owner);
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  QObject::connect(process, &QProcess::finished, owner, [process, failed](int code, QProcess::ExitStatus status) {
    process->deleteLater();
    if (status != QProcess::NormalExit || code != 0) failed();
  });
  QObject::connect(process, &QProcess::errorOccurred, owner, [process, failed](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    process->deleteLater();
    failed();
  });
  process->start(opener, {url.toString(QUrl::FullyEncoded)});
}

}  // namespace brim::qt
