#include "app/application.h"

#include <new>

#include "base/cp932.h"
#include "base/errors.h"
#include "base/ui_texts.h"

namespace brim {

std::string ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) <= '.') return message;
  return message + ".";
}

bool RunCommand(Desktop& desktop, const std::function<void()>& command) {
  try {
    command();
    return true;
  } catch (const CommandError& e) {
    desktop.ShowError(ErrorBoxText(e.Text()));
  } catch (const std::bad_alloc&) {
    desktop.ShowError(ErrorBoxText(Ui().outOfMemory));
  } catch (const std::exception& e) {
    desktop.ShowError(ErrorBoxText(Utf8ToCp932(e.what())));
  }
  return false;
}

}  // namespace brim
