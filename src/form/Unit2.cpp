#include "form/Unit2.h"

#include "base/cp932.h"
#include "base/ui_texts.h"

namespace brim {

const std::string& TForm2::Caption() { return Ui().menuAbout; }
const std::string& TForm2::Version() { return Ui().aboutVersion; }
const std::string& TForm2::Notice() { return Ui().aboutNotice; }
const std::string& TForm2::Link() { return Ui().aboutLink; }

void TForm2::Label3Click(Desktop& desktop, const std::string& labelText) {
  desktop.OpenUrl(Cp932ToUtf8(labelText));
}

}  // namespace brim
