// hdlm-sim's command line: run, shell, generate, capture.
#pragma once

namespace sim {

int cliMain(int argc, char** argv);

}  // namespace sim
