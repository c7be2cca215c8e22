// "mbh" on blocks carrying more links than the dialog has rows: the links it does not show stay,
// after the edited rows, on the block picked and on every block of its kind.
#include <utility>
#include <vector>

#include "CreationHost.h"

namespace creationtest {
namespace {

using Links = std::vector<std::pair<std::string, std::string>>;

// As make_floors.py dumps them: address, description and the sub-location the host writes (empty).
std::string dumped(const Links& links) {
    std::string text = "|LINKS:";
    for (size_t i = 0; i < links.size(); ++i) text += (i ? "," : "") + links[i].first + "," + links[i].second + ",";
    return text;
}

Links plans(std::initializer_list<int> numbers) {
    Links links;
    for (int n : numbers) links.emplace_back("http://plans.example/" + std::to_string(n), "Plan " + std::to_string(n));
    return links;
}

class UnshownLinks : public CreationHost {
protected:
    // floor_links.dxf with seven links on the first lab (3C) and on the first door (4C).
    void SetUp() override {
        CreationHost::SetUp();
        if (IsSkipped()) return;
        const std::string script =
            "import ezdxf\n"
            "d = ezdxf.readfile('" +
            (floors / "floor_links.dxf").string() +
            "')\n"
            "links = []\n"
            "for i in range(1, 8):\n"
            "    links += [(1000, 'http://plans.example/%d' % i), (1002, '{'), (1000, 'Plan %d' % i), (1002, '}')]\n"
            "for h in ('3C', '4C'):\n"
            "    d.entitydb[h].set_xdata('PE_URL', links)\n"
            "d.saveas('" +
            (floors / "floor_seven.dxf").string() + "')\n";
        std::ofstream(dir / "seven.py") << script;
        ASSERT_EQ(std::system(("/usr/bin/python3 '" + (dir / "seven.py").string() + "'").c_str()), 0);
    }

    std::string insertLine(const std::string& saved, const std::string& handle) const {
        const size_t at = saved.find(handle + "|");
        return at == std::string::npos ? std::string() : saved.substr(at, saved.find('\n', at) - at);
    }
};

TEST_F(UnshownLinks, LinksPastTheFifthAreKeptAfterTheEditedRows) {
    Links edited = plans({1, 2, 3, 4, 5, 6, 7});
    edited[1].first = "http://plans.example/two";
    Links moved = plans({1, 6, 3, 4, 5, 7}); // the sixth typed into row 2 is stored once, in the row's place
    moved[1].second = "Plan 2";
    const struct {
        const char* what;
        std::string script;
        std::string printed;
        std::vector<std::pair<std::string, Links>> expected; // handle, links after the run
    } cases[] = {
        {"one space",
         "dlg click 233\n#3C\ndlg set 234 http://plans.example/two\ndlg click 229\n",
         "1 block affected.\n",
         {{"3C", edited}, {"42", {}}}},
        {"a door, no space",
         "dlg click 233\n#4C\ndlg set 234 http://plans.example/two\ndlg click 229\n",
         "1 block affected.\n",
         {{"4C", edited}}},
        {"every lab of the kind",
         "dlg click 233\n#3C\ndlg set 234 http://plans.example/two\ndlg check 296 1\ndlg click 229\n",
         "3 block(s) affected.\n",
         {{"3C", edited}, {"42", edited}, {"47", edited}}},
        {"OK instead of Apply",
         "dlg click 233\n#3C\ndlg set 234 http://plans.example/two\ndlg click 1\n",
         "1 block affected.\n",
         {{"3C", edited}}},
        {"a row given an unshown address",
         "dlg click 233\n#3C\ndlg set 234 http://plans.example/6\ndlg click 229\n",
         "1 block affected.\n",
         {{"3C", moved}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = run("floor_seven.dxf", "mbh\n" + c.script + "SAVEAS linked.dxf\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_TRUE(has(r.out, c.printed)) << r.out;
        const std::string saved = dump("linked.dxf");
        for (const auto& [handle, links] : c.expected) {
            const std::string line = insertLine(saved, handle);
            if (links.empty()) {
                EXPECT_FALSE(has(line, "|LINKS:")) << line;
                continue;
            }
            // The links end the line.
            const std::string expected = dumped(links);
            if (line.size() < expected.size()) {
                ADD_FAILURE() << handle << ": " << line;
                continue;
            }
            EXPECT_EQ(line.substr(line.size() - expected.size()), expected) << handle;
        }
    }
}

} // namespace
} // namespace creationtest
