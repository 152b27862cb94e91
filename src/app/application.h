// The "application object" of each front end: runs one command, and shows a
// failure that ended it in the error box. The program goes on running.
#pragma once
#include <functional>
#include <string>

#include "app/desktop.h"

namespace brim {

// The error box text: the message plus "." unless it already ends in "." or
// in a character whose code is below it.
std::string ErrorBoxText(const std::string& messageCp932);

// Runs command; a CommandError (or any other failure) is shown with
// desktop.ShowError. Returns false when the command ended with an error box.
bool RunCommand(Desktop& desktop, const std::function<void()>& command);

}  // namespace brim
