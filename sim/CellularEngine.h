#pragma once

#include <string>
#include <vector>

namespace tessadorn::sim {

// The modem's cellular engine, reached after the correction firmware was left with "#EXIT0".
// It answers AT commands and runs the over-the-air update: the set command stores the update
// parameters, "AT^SJOTAP" starts the download and the OTAP trace switch shows its progress as a
// scripted series of lines that ends in "Reboot now" (or in a failure, or in silence).
class CellularEngine {
  public:
    struct Line {
        int afterMs; // from the previous line (or the answer)
        std::string text;
    };
    struct Reaction {
        std::string reply;        // the immediate answer, may be empty
        std::vector<Line> script; // progress lines that follow
        bool rebootAfter = false; // the engine reboots after the last line
    };

    // `outcome`: "success", "fail", "error" or "silent"; `stepMs` between progress lines.
    CellularEngine(std::string outcome, int stepMs);

    // One command line, without its CR LF.
    Reaction handle(const std::string& line);
    // A fresh engine, as after a reboot.
    void reset();

    bool updateParametersSet() const { return m_ParametersSet; }
    const std::vector<std::string>& updateParameters() const { return m_Parameters; }

  private:
    std::vector<Line> progress() const;

    std::string m_Outcome;
    int m_StepMs;
    bool m_ParametersSet = false;
    bool m_UpdateStarted = false;
    std::vector<std::string> m_Parameters;
};

} // namespace tessadorn::sim
