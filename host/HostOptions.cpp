#include "HostOptions.h"

namespace cadhost {

ParseResult parseOptions(const std::vector<std::string>& args) {
    Options o;
    ParseResult r;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            o.drawings.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = a, value;
        bool inlineValue = false;
        if (size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            inlineValue = true;
        }
        auto takeValue = [&](std::string& into) -> bool {
            if (inlineValue) {
                into = value;
                return true;
            }
            if (i + 1 >= args.size()) {
                r.error = "option " + name + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (name == "--product") {
            if (!takeValue(o.product)) return r;
        } else if (name == "--c-drive") {
            if (!takeValue(o.cDrive)) return r;
        } else if (name == "--module") {
            if (!takeValue(o.module)) return r;
            o.moduleGiven = true;
        } else if (name == "--script") {
            if (!takeValue(o.script)) return r;
        } else if (name == "--batch" && !inlineValue)
            o.batch = true;
        else if ((name == "--help" || name == "-h") && !inlineValue)
            o.help = true;
        else {
            r.error = "unknown option " + a;
            return r;
        }
    }
    r.options = o;
    return r;
}

std::string usageText() {
    return "Usage: cadhost [--product TEXT] [--c-drive DIR] [--module FILE] [--script FILE] [--batch] [DRAWING ...]\n"
           "\n"
           "A command-line CAD host. Opens each DRAWING (the first becomes current), loads the\n"
           "module, then reads input lines from the script and, unless --batch, from the terminal.\n"
           "\n"
           "Options:\n"
           "  --product TEXT   product text the host reports to the module (default \"AutoCAD 2015\")\n"
           "  --c-drive DIR    folder that stands for drive C: (default ~/.cadhost/c)\n"
           "  --module FILE    module to load (default: the module built beside cadhost, if any;\n"
           "                   an empty FILE loads none)\n"
           "  --script FILE    read input lines from FILE first\n"
           "  --batch          stop at the end of the script instead of reading the terminal\n"
           "  -h, --help       show this text\n"
           "\n"
           "Input lines (script and terminal alike; ';' after a blank or at the start begins a comment):\n"
           "  a module command by its global or local name\n"
           "  OPEN path | SAVE | SAVEAS path | CLOSE | QUIT\n"
           "  PLOT path        plot the current layout to PDF, PNG or JPEG by the file's extension\n"
           "  answers to the waiting prompt: an empty line is Enter, *Cancel* cancels, x,y[,z] is a\n"
           "  point, #HANDLE picks an entity, handles separated by blanks make a selection\n"
           "  ok | yes | no | cancel   answer a message box; a path or cancel answers a file dialog\n"
           "  dlg ...          act on a dialog: dlg show | list | click ID | set ID TEXT | type ID TEXT |\n"
           "                   select ID ITEM | dblclick ID ITEM | check ID 0|1 | radio ID | tab ID N |\n"
           "                   menu ID | close | esc | enter\n"
           "\n"
           "Ways out and unsaved changes:\n"
           "  QUIT (or EXIT) and CLOSE, typed at a terminal, ask for each drawing changed since it\n"
           "  was last saved whether to save it (yes, or Enter), discard its changes (no) or go back\n"
           "  (cancel). With no one to ask (a script, --batch, input from a pipe) the drawing is\n"
           "  closed unsaved and a line on standard error names it.\n"
           "  The end of input (Ctrl-D, a pipe or a --batch script that ends) at the command line is\n"
           "  QUIT; at a prompt it cancels the command (one that takes a cancel for its default answer\n"
           "  still runs), and a terminal is read again at the next command prompt.\n"
           "  Ctrl-C cancels what is being asked (a prompt, a pick, a message box, a dialog) as\n"
           "  *Cancel* does, and the session goes on; with --batch it ends cadhost at once, nothing\n"
           "  saved, as SIGTERM, SIGHUP (the terminal closed), SIGQUIT (Ctrl-\\) and every other signal\n"
           "  that ends a process do: a line on standard error names each drawing whose changes are\n"
           "  discarded, and a save cut short leaves no file or lock behind. A closed output (| head -1)\n"
           "  and a file size limit end nothing: the writes fail and the work goes on.\n"
           "  A drawing a command opens (mgr opens the report's drawing) is held and named as the\n"
           "  drawings opened here are.\n"
           "\n"
           "Exit status: 0 when every line was applied, 1 when a line could not be applied (an\n"
           "answer a prompt refused from a script or a pipe, a command that ended in an error, the\n"
           "input ended inside a command with its work unsaved), 2 for a wrong command line, 3 when\n"
           "a drawing, the script or the module could not be opened, 128 plus the signal when a\n"
           "signal ended cadhost (143 SIGTERM, 129 SIGHUP, 130 SIGINT with --batch, 131 SIGQUIT).\n";
}

} // namespace cadhost
