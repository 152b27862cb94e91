// The shell's "open" for a web address. Without a browser, xdg-open reports
// its failure only through its exit status, after a while; QDesktopServices
// would take that for success, and the click would end in silence.
#pragma once
#include <QUrl>
#include <functional>

class QObject;

namespace brim::qt {

// Starts the user's browser on url. failed runs (perhaps after this returns,
// from the event loop) when no program could open it. owner keeps the
// watching process; it must outlive the wait.
void OpenInBrowser(const QUrl& url, QObject* owner, std::function<void()> failed);

}  // namespace brim::qt
