#pragma once
// The report plan through cadhost with one-category reports, the drawings changed between runs by
// ezdxf (edit_plans.py) as another program or a planner would, and the plots' pixels.
#include <algorithm>

#include "ReportsHost.h"
#include "module/PlotPixels.h"

namespace reportstest {

// How many pixels of the plot are exactly the colour ("#RRGGBB").
inline size_t pixelsOf(const fs::path& png, const std::string& colour) {
    return plot_pixels::pixelsOf(png, static_cast<std::uint32_t>(std::stoul(colour.substr(1), nullptr, 16)));
}

class EditedPlans : public ReportsHost {
protected:
    static constexpr const char* red = "#C03030";
    static constexpr const char* green = "#30C030";
    static constexpr const char* blue = "#3030C0";

    // A report colouring the space ("*": every room) in the colour on the hatch layer; its Windows path.
    std::string writeReport(const std::string& name, const std::string& colour, const std::string& handle,
                            const std::string& layer = "HATCH-ROOMS", const std::string& title = "Level 1 use") {
        std::ofstream(dir / name) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                     "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID>"
                                     "<grTitle>"
                                  << title
                                  << "</grTitle><grTotalChildAreas>100</grTotalChildAreas>"
                                     "<categories><category><cID>1</cID><cTitle>ROOMS</cTitle>"
                                     "<cHatchPattern>SOLID</cHatchPattern><cHatchColour>"
                                  << colour
                                  << "</cHatchColour><cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle>"
                                     "<cHatchLayer>"
                                  << layer << "</cHatchLayer><kelmoBlocks><kelmoBlock><mbHandle>" << handle
                                  << "</mbHandle></kelmoBlock></kelmoBlocks></category></categories>"
                                  << "</graphicReport>\n";
        return windowsPath(name);
    }
    // A report colouring the space ("*": every room) on "HATCH-ROOMS", then the asset in its own colour on
    // "HATCH-DESKS"; its Windows path.
    std::string writeRoomsAndDesk(const std::string& name, const std::string& colour, const std::string& handle,
                                  const std::string& deskColour, const std::string& desk) {
        std::ofstream(dir / name)
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grID>7</grID><grTitle>Level 1 use"
               "</grTitle><grTotalChildAreas>200</grTotalChildAreas><categories>"
               "<category><cID>1</cID><cTitle>ROOMS</cTitle><cHatchPattern>SOLID</cHatchPattern><cHatchColour>"
            << colour
            << "</cHatchColour><cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle><cHatchLayer>HATCH-ROOMS"
               "</cHatchLayer><kelmoBlocks><kelmoBlock><mbHandle>"
            << handle
            << "</mbHandle></kelmoBlock></kelmoBlocks></category><category><cID>2</cID><cTitle>DESKS</cTitle>"
               "<cHatchPattern>SOLID</cHatchPattern><cHatchColour>"
            << deskColour
            << "</cHatchColour><cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle><cHatchLayer>HATCH-DESKS"
               "</cHatchLayer><assets><asset><handle>"
            << desk << "</handle></asset></assets></category></categories></graphicReport>\n";
        return windowsPath(name);
    }
    // "magr" on the report, no markers: Enter to each question of the legend and pie defined instead.
    std::string colour(const std::string& name, const std::string& colour, const std::string& handle,
                       const std::string& layer = "HATCH-ROOMS") {
        return magr(writeReport(name, colour, handle, layer));
    }
    // "magr" on the report file of that Windows path, no markers.
    static std::string magr(const std::string& report) { return "magr\n" + report + "\n\n\n\n\n\n\n"; }

    static fs::path editor() { return fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "reports" / "edit_plans.py"; }
    // Runs the editor on drawings of the test's folder; its output.
    std::string edit(const std::string& arguments) const {
        return capture("cd '" + dir.string() + "' && /usr/bin/python3 '" + editor().string() + "' " + arguments);
    }
    // The hatches of a drawing of the test's folder, bottom first: "#RRGGBB|x,y", the lowest corner.
    std::vector<std::string> hatches(const std::string& drawing) const {
        std::vector<std::string> lines;
        std::istringstream text(edit("hatches '" + drawing + "'"));
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
};

} // namespace reportstest
