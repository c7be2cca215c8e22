#pragma once
// The utility plans with the drawings of make_written_plans.py beside them: spaces on a locked layer,
// and a block whose draw-order table lays an entity drawn first on top.
#include "UtilitiesHost.h"

namespace utilities {

class WrittenPlans : public Utilities {
protected:
    static fs::path writtenGenerator() {
        return fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "utilities" / "make_written_plans.py";
    }
    static void SetUpTestSuite() {
        Utilities::SetUpTestSuite();
        written = ezdxf &&
                  std::system(
                      ("/usr/bin/python3 '" + writtenGenerator().string() + "' '" + plans.string() + "'").c_str()) == 0;
    }
    void SetUp() override {
        Utilities::SetUp();
        if (!IsSkipped() && !written) GTEST_SKIP() << "python3-ezdxf cannot write the plans";
    }
    // What the generator prints about a drawing, without its line end.
    static std::string ask(const std::string& what, const fs::path& drawing, const std::string& more = "") {
        std::string text = spacecommands::capture("/usr/bin/python3 '" + writtenGenerator().string() + "' " + what +
                                                  " '" + drawing.string() + "' " + more);
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }
    static inline bool written = false;
};

} // namespace utilities
