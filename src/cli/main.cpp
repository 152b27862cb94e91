#include "cli/cli.h"

int main(int argc, char** argv) { return brim::cli::Main(argc, argv); }
