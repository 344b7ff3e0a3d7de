#pragma once

#include <string>
#include <vector>

namespace queue {

// Powers the computer off. Tests inject a recording fake and never power
// anything off.
class TShutdownComputer {
  public:
    virtual ~TShutdownComputer() = default;
    // True when the system accepted; else false with the reason in ErrorText.
    virtual bool ShutdownComputer(std::string& ErrorText) = 0;
};

// Runs a command and waits for it: by default "systemctl poweroff".
class TCommandShutdown final : public TShutdownComputer {
  public:
    explicit TCommandShutdown(std::vector<std::string> Command = {"systemctl", "poweroff"});
    bool ShutdownComputer(std::string& ErrorText) override;

  private:
    std::vector<std::string> Command;
};

} // namespace queue
