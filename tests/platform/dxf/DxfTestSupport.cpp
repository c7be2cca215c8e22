#include "DxfTestSupport.h"

#include "cad/DxfDocument.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace dxftest {

fs::path scratchDir()
{
    static fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("kelmo_dxf_" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

std::string readBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeBytes(const fs::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary) << bytes;
}

RoundTrip roundTripFile(const fs::path& in, const fs::path& out)
{
    RoundTrip rt;
    try {
        dxf::Document d = dxf::parseDocument(readBytes(in), in.string());
        dxf::normalizeR2010(d);
        for (const std::string& p : d.problems)
            if (p.find("handle") != std::string::npos && p.find("layout") == std::string::npos)
                rt.renumbered = true;
        std::string text;
        dxf::writeDocument(d, text);
        writeBytes(out, text);
        rt.saved = true;
    } catch (const dxf::Refused& e) {
        rt.refused = true;
        rt.message = e.what();
    }
    return rt;
}

std::string ezdxfCheck(const fs::path& original, const fs::path& saved, bool renumbered)
{
    std::string cmd = "/usr/bin/python3 -W ignore '" + std::string(KELMO_SOURCE_DIR) +
                      "/tests/platform/dxf/check_roundtrip.py' '" + original.string() + "' '" + saved.string() + "'" +
                      (renumbered ? " --renumbered" : "") + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return "cannot run python";
    std::string out;
    std::array<char, 4096> buf;
    while (std::size_t n = std::fread(buf.data(), 1, buf.size(), p))
        out.append(buf.data(), n);
    int rc = ::pclose(p);
    if (rc == 0)
        return "";
    return out.empty() ? "check failed" : out;
}

}  // namespace dxftest
