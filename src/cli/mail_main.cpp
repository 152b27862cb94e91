// brimlode-mail: the command line with the mail command, which
// `brimlode-cli mail` runs in its place (the mail layer's libraries stay
// out of every other command's start).
#include "cli/cli.h"
#include "cli/mail_command.h"

int main(int argc, char** argv) {
  brim::cli::SetMailRunner(&brim::cli::RunMail);
  return brim::cli::Main(argc, argv);
}
