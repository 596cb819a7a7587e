// The environment a host agent gives the plug-in's shell pipelines on real HDLM hosts (another
// /bin/sh, awk or grep; LANG from the host; an old grep; a service's PATH with dlnkmgr under
// /opt), reproduced inside the private mount namespace only.
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

// systemd's PATH for a service (systemd.exec(5)).
constexpr const char* kServicePath = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin";
// Where HDLM installs dlnkmgr.
constexpr const char* kHdlmBinDir = "/opt/DynamicLinkManager/bin";

struct AgentEnvironment {
    std::string userland;      // "", "bash", "busybox" or "mawk"
    std::string lang;          // LANG for the command, the other locale variables unset; "": as is
    bool oldGrep = false;      // grep obeys GREP_OPTIONS, as GNU grep before 3.6 did
    bool servicePath = false;  // dlnkmgr only under /opt, systemd's fixed PATH
    std::vector<std::pair<std::string, std::string>> variables;  // --env NAME=VALUE, in order
};

// "NAME=VALUE" into its parts; throws std::runtime_error saying what is wrong with the text.
std::pair<std::string, std::string> parseEnvAssignment(const std::string& text);

// Empty when this machine can give the environment; else why not and what to install or run
// (a userland's package, a locale to generate). Checked before anything is built.
std::string unavailableEnvironment(const AgentEnvironment& env);

using ProgressLine = std::function<void(const std::string&)>;

// Binds the userland, the old grep and HDLM's /opt layout into the current (private) mount
// namespace, keeping what it needs in `workDir`; `dlnkmgr` is the simulated dlnkmgr there.
// Returns true when the command must run changed into `hostRoot`: /opt is missing on the
// machine, so the machine's root is rebuilt there with it (nothing is created outside).
// Throws std::runtime_error naming the step that failed.
bool bindAgentEnvironment(const AgentEnvironment& env, const std::string& workDir,
                          const std::string& dlnkmgr, const std::string& hostRoot,
                          const ProgressLine& progress);

// Under another root file system only /opt's layout is added, inside its writable layer at
// `root`; the other parts are refused before (see unsupportedInOtherRoot).
void addHdlmLayout(const std::string& root, const std::string& dlnkmgr,
                   const ProgressLine& progress);

// The options that cannot apply inside another root file system ("--userland, --lang"), or "".
std::string unsupportedInOtherRoot(const AgentEnvironment& env);

// Sets this process's environment, which the command inherits: PATH (`defaultPath`, or the
// service's), LANG and the locale variables, then every --env variable (last, so they win).
void setAgentVariables(const AgentEnvironment& env, const std::string& defaultPath);

}  // namespace sim
