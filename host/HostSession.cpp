#include "HostSession.h"

#include "DialogCommands.h"
#include "HostAnswers.h"
#include "InterruptibleInput.h"
#include "ScriptReader.h"

#include "cad/app/ApDocument.h"
#include "cad/app/DrawingLock.h"
#include "cad/editor/EdInput.h"
#include "cad/dxf/DxfDatabase.h"
#include "cad/editor/EdPrintf.h"
#include "cad/app/HostApplicationServices.h"
#include "cad/plot/PlotEngine.h"
#include "cad/app/RxDynamicLinker.h"
#include "cad/db/AcDbDatabase.h"
#include "classlib/DialogDriver.h"
#include "classlib/Wnd.h"
#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/TempNames.h"
#include "win/UiSink.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <iostream>
#include <istream>
#include <ostream>

namespace cadhost {
namespace {

Session* g_current = nullptr;

std::wstring upper(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return s;
}

// Splits "WORD rest" at the first run of blanks.
void splitCommand(const std::wstring& line, std::wstring& word, std::wstring& rest) {
    size_t b = line.find_first_not_of(L" \t");
    if (b == std::wstring::npos) {
        word.clear();
        rest.clear();
        return;
    }
    size_t e = line.find_first_of(L" \t", b);
    word = line.substr(b, e == std::wstring::npos ? std::wstring::npos : e - b);
    rest.clear();
    if (e != std::wstring::npos) {
        size_t r = line.find_first_not_of(L" \t", e);
        if (r != std::wstring::npos) rest = line.substr(r);
    }
    // A path may be quoted to keep blanks at its ends.
    if (rest.size() >= 2 && rest.front() == L'"' && rest.back() == L'"') rest = rest.substr(1, rest.size() - 2);
}

bool isOpenDocument(const AcApDocument* doc) {
    AcApDocumentIterator* it = acDocManager->newAcApDocumentIterator();
    bool open = false;
    for (; !it->done() && !open; it->step()) open = it->document() == doc;
    delete it;
    return open;
}

// The drawing as the user knows it: its file, or the title of one never saved.
std::wstring drawingName(const AcApDocument* doc) {
    return *doc->fileName() ? std::wstring(doc->fileName()) : std::wstring(doc->docTitle());
}

bool changedSinceSaved(AcApDocument* doc) {
    return isOpenDocument(doc) && doc->isModified();
}

// Whether the descriptor is a pipe or socket whose reader has closed its end.
bool readerGone(int fd) {
    pollfd p{fd, 0, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLERR);
}

} // namespace

struct Session::Input {
    std::istream& stream;
    LineReader reader;
    bool echo;
    std::function<bool()> terminalGone; // set for a terminal
    Input(std::istream& s, const std::string& name, bool e, std::function<bool()> gone)
        : stream(s), reader(s, name), echo(e), terminalGone(std::move(gone)) {}
};

// Message boxes, file choosers and the modal loops of dialogs take their answers from input.
struct Session::Sink : win::UiSink {
    Session& s;
    explicit Sink(Session& session) : s(session) {}

    int messageBox(HWND, const std::wstring& text, const std::wstring& caption, UINT type) override {
        ed::commandLine().write(L"[" + caption + L"] " + text + L"\n");
        lastBox = text;
        boxPlace = s.lastPlace_;
        // A box that tells of an error: the line that led to it has failed, whatever it goes on to do.
        if ((type & kMbIconMask) == kMbIconError && s.applying_)
            s.fail(L"the line ended in an error (\"" + caption + L"\" above)");
        for (;;) {
            std::optional<std::wstring> line = s.nextLine();
            if (!line || s.interrupted()) return messageBoxNoAnswer(type);
            if (std::optional<int> id = messageBoxAnswer(*line, type)) return *id;
            s.refuse(L"\"" + *line + L"\" does not answer a message box (" + messageBoxChoices(type) + L")");
            ed::commandLine().write(L"[" + caption + L"] " + text + L"\n"); // asked again
        }
    }

    bool chooseFile(const win::FileDialogRequest& request, std::wstring& path) override {
        ed::commandLine().write(
            L"[" + (request.title.empty() ? std::wstring(request.open ? L"Open" : L"Save As") : request.title) +
            L"] file name (or cancel): ");
        std::optional<std::wstring> line = s.nextLine();
        if (!line || s.interrupted()) return false;
        std::optional<std::wstring> answer = fileDialogAnswer(*line);
        if (!answer) return false;
        path = s.windowsPathOf(*answer);
        return !path.empty();
    }

    bool browseForFolder(const std::wstring& title, std::wstring& path) override {
        ed::commandLine().write(L"[" + (title.empty() ? std::wstring(L"Browse For Folder") : title) +
                                L"] folder (or cancel): ");
        std::optional<std::wstring> line = s.nextLine();
        if (!line || s.interrupted()) return false;
        std::optional<std::wstring> answer = fileDialogAnswer(*line);
        if (!answer) return false;
        path = s.windowsPathOf(*answer);
        return !path.empty();
    }

    // A value a dialog refuses is refused as a prompt's answer is: the box before it said why.
    void valueRefused() override {
        if (!s.applying_) return;
        // Named at the line that gave the value, not the one that answered its box.
        const std::wstring answered = s.lastPlace_;
        s.lastPlace_ = boxPlace;
        s.refuse(L"the dialog refused the value: " + lastBox);
        s.lastPlace_ = answered;
    }
    std::wstring lastBox, boxPlace;

    // The module's own pumping (PeekMessage, then PumpMessage) sees what the dialog driver holds: posted
    // messages and queued dialog actions. It never takes an input line; the modal loop of a dialog does.
    bool hasPendingMessage() override { return classlib::DialogDriver::hasPending(); }
    bool pumpMessage() override { return applyOneLine(); }

    // One line for a running dialog: a dialog action, or nothing at the end of input.
    bool applyOneLine() {
        std::optional<std::wstring> line = s.nextLine();
        if (!line) return false;
        if (ed::input().echo()) ed::commandLine().write(*line + L"\n");
        // Ctrl-C cancels the dialog that waits, as Escape does.
        if (s.interrupted()) {
            if (classlib::DialogDriver::current() && s.dialogs_) s.dialogs_(s, L"dlg esc");
            return true;
        }
        std::wstring word, rest;
        splitCommand(*line, word, rest);
        if (upper(word) == L"DLG") {
            if (!s.dialogs_)
                s.fail(L"dialog actions are not available");
            else
                s.dialogs_(s, *line);
        } else if (!line->empty()) {
            s.refuse(L"\"" + *line + L"\" cannot be applied while a dialog is open (dialog actions begin with dlg)");
        }
        return true;
    }
};

// Every drawing that comes to be open is the session's to hold; one about to be closed leaves what a
// signal would say.
struct Session::Watch : AcApDocManagerReactor {
    Session& s;
    explicit Watch(Session& session) : s(session) {}
    void documentCreated(AcApDocument* doc) override {
        s.adopt(doc);
        s.prepareSignalNotes();
    }
    void documentToBeDestroyed(AcApDocument* doc) override {
        s.forget(doc);
        s.prepareSignalNotes(doc);
    }
};

Session::Session(Options options, std::ostream& out, std::ostream& err)
    : options_(std::move(options)),
      out_(out),
      err_(err),
      sink_(std::make_unique<Sink>(*this)),
      watch_(std::make_unique<Watch>(*this)) {
    g_current = this;
    dialogs_ = [](Session& s, const std::wstring& line) {
        DialogLineResult r = runDialogLine(line, s.out_);
        if (!r.ok()) s.fail(r.error.empty() ? L"\"" + line + L"\" is no dialog action" : r.error);
        return r.ok();
    };
    closeDialogs_ = [] { cancelOpenDialogs(); };
}

Session::~Session() {
    if (!finished_) finish();
    if (g_current == this) g_current = nullptr;
}

Session* Session::current() {
    return g_current;
}

void Session::addInput(std::istream& in, const std::string& name, bool echo, std::function<bool()> terminalGone) {
    inputs_.push_back(std::make_unique<Input>(in, name, echo, std::move(terminalGone)));
}

bool Session::interactive() const {
    return inputIndex_ < inputs_.size() && inputs_[inputIndex_]->terminalGone;
}

std::wstring Session::place() const {
    return lastPlace_;
}

void Session::fail(const std::wstring& message) {
    failed_ = true;
    report(message);
}

void Session::refuse(const std::wstring& message) {
    // Someone at the terminal is asked again and answers: the session has not failed.
    if (interactive())
        report(message);
    else
        fail(message);
}

void Session::report(const std::wstring& message) {
    // One line, whatever the names in it hold.
    err_ << "cadhost: " << win::shown((lastPlace_.empty() ? L"" : lastPlace_ + L": ") + message) << std::endl;
}

std::optional<std::wstring> Session::nextLine() {
    interrupted_ = false;
    // Text sent to the document and answers queued in-process come first.
    if (ed::input().queuedCount() > 0) return ed::input().next();
    if (cancelling_) return std::nullopt;
    while (inputIndex_ < inputs_.size()) {
        // Ctrl-C, while a line was awaited or before, cancels what is asked.
        if (takeInterrupt()) {
            interrupted_ = true;
            return std::wstring(ed::kCancelLine);
        }
        Input& in = *inputs_[inputIndex_];
        if (std::optional<std::string> line = in.reader.next()) {
            lastPlace_ = win::fromNative(in.reader.name()) + L":" + std::to_wstring(in.reader.lineNumber());
            // A control character would cut or mangle the line on its way to a file name, a prompt
            // or a command.
            if (!in.reader.refusal().empty()) {
                refuse(win::fromUtf8(in.reader.refusal()));
                // What waits for the next line is shown again.
                const std::wstring& asked = ed::commandLine().currentLine();
                if (!asked.empty()) ed::commandLine().write(in.echo ? L"\n" + asked : asked);
                continue;
            }
            std::wstring text = win::fromUtf8(*line);
            ed::input().setEcho(in.echo);
            return text;
        }
        if (interruptPending()) continue;
        if (in.terminalGone && !in.terminalGone()) {
            // Ctrl-D: the terminal is read again afterwards. Inside a command it cancels the command.
            in.reader.resume();
            if (!atCommandLine_) cancelling_ = true;
            return std::nullopt;
        }
        ++inputIndex_;
    }
    // The input ended while a command still asked: the lines it was meant to take were too few, or
    // were taken as its answers.
    if (applying_ && !atCommandLine_) endedInCommand_ = true;
    return std::nullopt;
}

void Session::attach() {
    acdbHostApplicationServices()->setProduct(win::fromUtf8(options_.product));
    if (!options_.cDrive.empty()) win::setCDrive(options_.cDrive);
    win::setUiSink(sink_.get());
    acDocManager->addReactor(watch_.get());
    ed::commandLine().setSink([this](const std::wstring& text) {
        out_ << win::shown(text, true);
        out_.flush();
    });
    ed::input().setSource([this]() { return promptLine(); });
    // An answer refused from a script or a pipe is a line not applied; at a terminal it is asked again.
    ed::input().setRefusalHandler([this](const std::wstring& answer, const std::wstring& why) {
        if (applying_ && !interactive()) fail(L"\"" + answer + L"\" is refused: " + why);
    });
    ed::input().setFailureHandler([this](const std::wstring& why) {
        const size_t b = why.find_first_not_of(L" \n"), e = why.find_last_not_of(L" \n");
        if (applying_)
            fail(L"the line ended in an error: " + (b == std::wstring::npos ? why : why.substr(b, e - b + 1)));
    });
    ed::input().setRunawayHandler([this]() {
        if (interactive()) {
            // Someone is at the terminal: the command's next prompt waits for them.
            cancelling_ = false;
            ed::input().noteAnswer();
            err_ << "cadhost: the command takes no cancel for an answer: answer its prompt" << std::endl;
            return;
        }
        fail(L"the input has ended but the command keeps asking; stopping");
        for (AcApDocument* d : opened_)
            if (dropsUnasked(d)) noteDropped(d);
        out_.flush();
        err_.flush();
        std::_Exit(kExitLineFailed);
    });
    // A modal dialog's loop takes its actions from the input, one line at a time.
    classlib::DialogDriver::setActionSource([this]() { return sink_->applyOneLine(); });
    // Someone typing at a terminal is told once how a dialog is answered.
    bool terminal = false;
    for (const auto& in : inputs_) terminal = terminal || in->terminalGone;
    echoDialogs(&out_, terminal);
}

bool Session::start() {
    attach();
    bool ok = true;
    for (const std::string& d : options_.drawings) {
        if (!openDrawing(win::fromNative(d))) ok = false;
    }
    // The first drawing named is current.
    if (ok && acDocManager->documentCount() > 0) {
        AcApDocumentIterator* it = acDocManager->newAcApDocumentIterator();
        if (!it->done()) acDocManager->activateDocument(it->document());
        delete it;
    }
    if (ok && !loadModule()) ok = false;
    prepareSignalNotes();
    return ok;
}

bool Session::loadModule() {
    std::string path = options_.moduleGiven ? options_.module : defaultModulePath();
    if (path.empty()) return true; // none asked for, or none built yet: the host runs on its own
    std::wstring w = win::fromNative(std::filesystem::absolute(path).string());
    if (!acrxDynamicLinker->loadModule(w.c_str(), false)) {
        if (!options_.moduleGiven) {
            // The module beside cadhost may not be complete yet: the host still runs on its own.
            err_ << "cadhost: running without the module: " << win::toUtf8(acrxDynamicLinker->lastError()) << std::endl;
            return true;
        }
        fail(L"cannot load the module: " + acrxDynamicLinker->lastError());
        return false;
    }
    return true;
}

std::optional<std::wstring> Session::promptLine() {
    // A modeless dialog stays live while a prompt waits: its actions are carried out, not taken as the answer.
    for (;;) {
        std::optional<std::wstring> line = nextLine();
        if (!line || !dialogs_) return line;
        std::wstring word, rest;
        splitCommand(*line, word, rest);
        if (upper(word) != L"DLG") return line;
        if (ed::input().echo()) ed::commandLine().write(*line + L"\n");
        dialogs_(*this, *line);
    }
}

void Session::deliverPending() {
    while (classlib::DialogDriver::hasPending()) classlib::DialogDriver::pumpOne();
}

void Session::loop() {
    while (!quit_) {
        // What modeless dialogs posted while the last line ran reaches them before the next line is read.
        deliverPending();
        cancelling_ = false;
        ed::commandLine().write(L"\nCommand: ");
        atCommandLine_ = true;
        std::optional<std::wstring> line = nextLine();
        atCommandLine_ = false;
        if (!line) {
            ed::commandLine().write(L"\n");
            // The end of input at the command line is QUIT.
            const bool quit = mayDropChanges(opened_);
            prepareSignalNotes();
            if (quit) break;
            continue;
        }
        if (ed::input().echo()) ed::commandLine().write(*line + L"\n");
        applying_ = true;
        executeLine(*line);
        applying_ = false;
        // A drawing the line wrote to but left as it was is unchanged again.
        for (AcApDocument* doc : opened_) changedSinceSaved(doc);
        prepareSignalNotes(); // drawings opened, closed, saved under a new name, or dropped by consent
    }
}

bool Session::executeLine(const std::wstring& line) {
    std::wstring word, rest;
    splitCommand(line, word, rest);
    if (word.empty() || ed::isCancelLine(line)) return true; // Enter or Esc at the command prompt
    std::wstring cmd = upper(word);
    auto needPath = [&](const wchar_t* what) {
        if (!rest.empty()) return true;
        fail(std::wstring(what) + L" needs a file name");
        return false;
    };
    if (cmd == L"OPEN") return needPath(L"OPEN") && openDrawing(rest);
    if (cmd == L"SAVE") {
        if (!rest.empty()) {
            fail(L"SAVE takes no file name (use SAVEAS)");
            return false;
        }
        return saveDrawing(L"");
    }
    if (cmd == L"SAVEAS") return needPath(L"SAVEAS") && saveDrawing(rest);
    if (cmd == L"PLOT") return needPath(L"PLOT") && plotDrawing(rest);
    if (cmd == L"CLOSE") return closeDrawing();
    if (cmd == L"QUIT" || cmd == L"EXIT") {
        quit_ = mayDropChanges(opened_);
        return true;
    }
    if (cmd == L"DLG") {
        if (!dialogs_) {
            fail(L"dialog actions are not available");
            return false;
        }
        return dialogs_(*this, line);
    }
    if (isMessageBoxWord(word) && rest.empty()) {
        fail(L"\"" + word + L"\": no message box is waiting");
        return false;
    }
    if (AcEdCommand* c = acedRegCmds()->lookup(word.c_str())) {
        if (!rest.empty()) ed::input().pushFront(rest); // "cmd answer" runs as two lines, as a space would
        return runCommand(c);
    }
    // F1 is refused here: the user is pointed to what lists the commands.
    acutPrintf(acedRegCmds()->lookup(L"m?") ? L"Unknown command \"%s\".  Type m? for the module's commands, or see "
                                              L"cadhost --help.\n"
                                            : L"Unknown command \"%s\".  See cadhost --help.\n",
               upper(word).c_str());
    fail(L"unknown command \"" + word + L"\"");
    return false;
}

bool Session::runCommand(AcEdCommand* c) {
    AcApDocument* doc = acDocManager->curDocument();
    bool session = (c->commandFlags() & ACRX_CMD_SESSION) != 0;
    bool locked = false;
    if (!session && doc) {
        locked = acDocManager->lockDocument(doc, AcAp::kAutoWrite, c->globalName(), c->localName()) == Acad::eOk;
    }
    acDocManager->setApplicationContext(session);
    // Typing at the command line activates the host's main window; modeless dialogs that a command opens take
    // their parent (and the window they activate before each pick) from the active window.
    AfxGetMainWnd()->SetActiveWindow();
    bool ok = true;
    const std::size_t refusedBefore = win::refusedWrites();
    try {
        c->functionAddr()();
    } catch (const std::exception& e) {
        fail(L"command " + std::wstring(c->globalName()) + L" ended with an error: " + win::fromUtf8(e.what()));
        ok = false;
    } catch (...) {
        fail(L"command " + std::wstring(c->globalName()) + L" ended with an unhandled exception");
        ok = false;
    }
    // A file the command was refused to write is work it did not do, however it reported it.
    if (ok && win::refusedWrites() != refusedBefore) {
        const win::RefusedWrite refused = win::lastRefusedWrite();
        fail(std::wstring(c->globalName()) + L" did not write " + refused.file + L": " + win::fromNative(refused.why));
        ok = false;
    }
    acDocManager->setApplicationContext(false);
    // The command may have closed its own document.
    if (locked && isOpenDocument(doc)) acDocManager->unlockDocument(doc);
    return ok;
}

bool Session::openDrawing(const std::wstring& path) {
    std::wstring w = windowsPathOf(path);
    if (w.empty()) return false;
    if (AcApDocument* open = acDocManager->documentHolding(w.c_str())) {
        acDocManager->activateDocument(open);
        acutPrintf(L"%s is open already: it is now the current drawing.\n", open->fileName());
        return true;
    }
    opening_ = true; // held and counted as it opens (adopt)
    Acad::ErrorStatus es = acDocManager->appContextOpenDocument(w.c_str());
    opening_ = false;
    if (es != Acad::eOk) {
        fail(L"cannot open " + path + L": " + acDocManager->lastError());
        return false;
    }
    AcApDocument* doc = acDocManager->curDocument();
    // A damaged file still opens; the user is told what was dropped or repaired on the way.
    if (doc && doc->database()) {
        const std::vector<std::string> problems = dxf::lastDxfProblems(doc->database());
        for (const std::string& problem : problems) err_ << "cadhost: " << win::shown(path) << ": " << problem << "\n";
        err_.flush();
    }
    return true;
}

bool Session::saveDrawing(const std::wstring& path) {
    AcApDocument* doc = acDocManager->curDocument();
    if (!doc) {
        fail(L"no drawing is open");
        return false;
    }
    return saveDocument(doc, path);
}

bool Session::saveDocument(AcApDocument* doc, const std::wstring& path) {
    // "x.dxf/" names a folder: taken for x.dxf it would write a file nobody named.
    if (const std::string refused = win::nameRefusal(path); !refused.empty()) {
        fail(L"cannot save " + path + L": " + win::fromNative(refused));
        return false;
    }
    std::wstring target = path.empty() ? std::wstring(doc->fileName()) : windowsPathOf(path);
    if (!path.empty() && target.empty()) return false;
    if (target.empty()) {
        fail(L"the drawing has no file name yet (use SAVEAS)");
        return false;
    }
    // Two documents under one name would each save over the other.
    if (AcApDocument* other = acDocManager->documentHolding(target.c_str(), doc)) {
        fail(L"cannot save " + target + L": it is the file of the open drawing " + other->fileName() +
             L" (close that drawing first)");
        return false;
    }
    // What another session or program saved there since is not replaced unasked; nor what is written there
    // after this check, or after the answer.
    docfile::FileStamp seen;
    if (acDocManager->folderReplacedSince(doc, target.c_str()) &&
        !mayReplaceChanged(target,
                           L"is in a folder that is no longer the one the drawing was read from (it was "
                           L"renamed or replaced since)"))
        return false;
    if (acDocManager->fileChangedSince(doc, target.c_str(), &seen) && !mayReplaceChanged(target)) return false;
    // Saved under another name, the drawing is held there before its file is: another session saving
    // to that name at the same moment finds it held, never a file nobody holds. One that holds it
    // already is left to refuse the save.
    std::unique_ptr<docfile::DrawingLock> heldThere;
    std::string native;
    struct stat before {};
    const bool mapped = win::mapToNative(target.c_str(), native, nullptr);
    if (mapped && (::stat(native.c_str(), &before) != 0 || !S_ISREG(before.st_mode))) before = {};
    if (mapped) {
        const std::unique_ptr<docfile::DrawingLock>& current = locks_[doc];
        std::optional<docfile::LockHolder> holder;
        if (!current || !current->holds(native)) {
            heldThere = std::make_unique<docfile::DrawingLock>();
            if (!heldThere->take(native, holder)) heldThere.reset();
        }
    }
    std::wstring why;
    if (acDocManager->saveDocument(doc, target.c_str(), why, &seen) != Acad::eOk) {
        fail(L"cannot save " + target + L": " + why);
        return false;
    }
    if (heldThere) locks_[doc] = std::move(heldThere);
    acutPrintf(L"Saved %s\n", target.c_str());
    // A file of several names (hard links) replaced by a new one leaves its other names to the old drawing.
    if (struct stat now{}; before.st_nlink > 1 && ::stat(native.c_str(), &now) == 0 &&
                           (now.st_dev != before.st_dev || now.st_ino != before.st_ino)) {
        const auto others = static_cast<unsigned long>(before.st_nlink - 1);
        acutPrintf(L"%s had %s: it is now a file of its own, and %s the drawing as it was before this save\n",
                   target.c_str(),
                   others == 1 ? L"another name (a hard link)"
                               : (std::to_wstring(others) + L" other names (hard links)").c_str(),
                   others == 1 ? L"that name keeps" : L"those names keep");
    }
    lockDrawing(doc, false); // under its new name, or once the session that held it has gone
    return true;
}

bool Session::mayReplaceChanged(const std::wstring& target, const std::wstring& what) {
    const std::wstring changed = what.empty() ? L"changed on disk since this session read or last saved it "
                                                L"(another session or program wrote it)"
                                              : what;
    if (!interactive()) {
        fail(L"cannot save " + target + L": it " + changed + L"; it is left as it is: SAVEAS another name keeps both");
        return false;
    }
    const int answer =
        sink_->messageBox(nullptr,
                          target + L" " + changed +
                              L". Replace it with this drawing? (yes, no or cancel; SAVEAS another name keeps both)",
                          L"cadhost", kMbYesNoCancel | kMbDefButton2);
    if (answer == kIdYes) return true;
    acutPrintf(L"Not saved: %s is left as it is\n", target.c_str());
    return false;
}

void Session::lockDrawing(AcApDocument* doc, bool tell) {
    std::unique_ptr<docfile::DrawingLock>& lock = locks_[doc];
    if (!lock) lock = std::make_unique<docfile::DrawingLock>();
    std::string native;
    if (!*doc->fileName() || !win::mapToNative(doc->fileName(), native, nullptr)) {
        lock->release();
        return;
    }
    if (lock->holds(native)) {
        lock->holdFile(native); // the file a save put there
        return;
    }
    std::optional<docfile::LockHolder> holder;
    // A lock that cannot be written (a read-only folder) leaves the drawing unlocked: nobody can save there.
    // One that cannot be made otherwise is said whenever it is tried (at the opening, after each save), so
    // that the user knows other sessions are not told.
    if (lock->take(native, holder)) return;
    if (!holder) {
        if (!lock->refusal().empty()) err_ << "cadhost: " << win::shown(win::fromNative(lock->refusal())) << std::endl;
        return;
    }
    if (!tell) return;
    err_ << "cadhost: " << win::shown(doc->fileName()) << ": in use by another session ("
         << win::shown(win::fromNative(docfile::describe(*holder)))
         << "); once that session saves it, a SAVE here is refused (asked at a terminal): SAVEAS another name keeps "
            "both"
         << std::endl;
}

void Session::unlockDrawing(AcApDocument* doc) {
    locks_.erase(doc);
}

void Session::adopt(AcApDocument* doc) {
    if (!doc || finished_) return;
    const bool answers = answersForChanges();
    if (answers && std::find(opened_.begin(), opened_.end(), doc) == opened_.end()) {
        opened_.push_back(doc);
        std::erase(dropAgreed_, doc); // a closed drawing's place may be taken by this one
        // What it was read as, so that a command that writes without changing anything leaves it unchanged.
        doc->takeBaseline();
    }
    lockDrawing(doc, answers);
}

void Session::forget(AcApDocument* doc) {
    std::erase(opened_, doc);
    std::erase(dropAgreed_, doc);
    unlockDrawing(doc);
}

bool Session::plotDrawing(const std::wstring& path) {
    AcApDocument* doc = acDocManager->curDocument();
    if (!doc) {
        fail(L"no drawing is open");
        return false;
    }
    if (const std::string refused = win::nameRefusal(path); !refused.empty()) {
        fail(L"cannot plot to " + path + L": " + win::fromNative(refused));
        return false;
    }
    std::wstring target = windowsPathOf(path);
    if (target.empty()) return false;
    std::wstring why;
    if (plot::plotCurrentLayout(doc, target, why) != Acad::eOk) {
        fail(L"cannot plot to " + path + L": " + why);
        return false;
    }
    acutPrintf(L"Plotted to %s\n", target.c_str());
    return true;
}

std::wstring Session::windowsPathOf(const std::wstring& path) {
    std::wstring w = userPathToWindows(path);
    if (w.empty()) fail(L"the working folder no longer exists: give " + path + L" as a full path");
    return w;
}

bool Session::closeDrawing() {
    AcApDocument* doc = acDocManager->curDocument();
    if (!doc) {
        fail(L"no drawing is open");
        return false;
    }
    if (!mayDropChanges({doc})) return true; // the user went back to the drawing
    if (dropsUnasked(doc)) noteDropped(doc);
    std::erase(opened_, doc);
    std::erase(dropAgreed_, doc);
    unlockDrawing(doc);
    acDocManager->closeDocument(doc);
    return true;
}

bool Session::mayDropChanges(const std::vector<AcApDocument*>& docs) {
    // A "no" answers one question: the QUIT or CLOSE that asked it, never a later one.
    dropAgreed_.clear();
    if (!interactive()) return true; // nobody to ask: what is dropped is named as it goes
    // Going back leaves every drawing as it was, to be asked about next time.
    auto goBack = [this] {
        dropAgreed_.clear();
        return false;
    };
    for (AcApDocument* doc : std::vector(docs)) {
        if (!dropsUnasked(doc)) continue;
        const int answer = sink_->messageBox(nullptr, L"Save changes to " + drawingName(doc) + L"? (yes, no or cancel)",
                                             L"cadhost", kMbYesNoCancel);
        if (answer == kIdCancel) return goBack();
        if (answer == kIdNo) {
            dropAgreed_.push_back(doc);
            continue;
        }
        // A drawing never saved is given a name first.
        std::wstring path;
        win::FileDialogRequest request;
        if (!*doc->fileName() && !sink_->chooseFile(request, path)) return goBack();
        if (!saveDocument(doc, path)) return goBack();
    }
    return true;
}

bool Session::dropsUnasked(AcApDocument* doc) const {
    return changedSinceSaved(doc) && std::find(dropAgreed_.begin(), dropAgreed_.end(), doc) == dropAgreed_.end();
}

std::string Session::droppedText(const AcApDocument* doc) {
    return "cadhost: " + win::shown(drawingName(doc)) + ": the changes made since it was last saved are discarded\n";
}

void Session::noteDropped(AcApDocument* doc) {
    err_ << droppedText(doc) << std::flush;
}

void Session::prepareSignalNotes(const AcApDocument* leaving) {
    std::vector<SignalNote> notes;
    if (!finished_)
        for (AcApDocument* doc : opened_) {
            if (doc == leaving || !isOpenDocument(doc) || !doc->database() ||
                std::find(dropAgreed_.begin(), dropAgreed_.end(), doc) != dropAgreed_.end())
                continue;
            const AcDbDatabase* db = doc->database();
            notes.push_back({[db] { return db->isModified(); }, droppedText(doc)});
        }
    setSignalNotes(std::move(notes));
}

void Session::finish() {
    if (finished_) return;
    finished_ = true;
    if (closeDialogs_) closeDialogs_();
    classlib::DialogDriver::setActionSource(nullptr);
    echoDialogs(nullptr);
    acrxDynamicLinker->unloadAll();
    // Drawings this session opened are closed unsaved, naming those whose changes go with them
    // (unless the user chose so); others belong to whoever made them. From here on a signal says nothing.
    acDocManager->removeReactor(watch_.get());
    setSignalNotes({});
    bool dropped = false;
    for (AcApDocument* d : opened_) {
        if (!isOpenDocument(d)) continue;
        if (dropsUnasked(d)) {
            noteDropped(d);
            dropped = true;
        }
        acDocManager->closeDocument(d);
    }
    // The input ran out inside a command: its lines went as answers, and the work they meant is lost.
    if (dropped && endedInCommand_) {
        lastPlace_.clear();
        fail(L"the input ended while a command was still asking: the lines meant to save the work were not run");
    }
    opened_.clear();
    locks_.clear();
    dropAgreed_.clear();
    ed::input().setSource(nullptr);
    ed::input().setRunawayHandler(nullptr);
    ed::input().setRefusalHandler(nullptr);
    ed::input().setFailureHandler(nullptr);
    ed::input().clear();
    ed::commandLine().setSink(nullptr);
    if (&win::uiSink() == sink_.get()) win::setUiSink(nullptr);
}

int Session::run() {
    if (!start()) {
        finish();
        return kExitStartFailed;
    }
    loop();
    finish();
    // Output that could not be written (a full disk) is a failure, not a quiet success. A reader that
    // went away (| head -1) chose to read no more: the work went on, and nothing of it failed.
    out_.flush();
    if (!out_ && !(&out_ == &std::cout && readerGone(STDOUT_FILENO))) {
        lastPlace_.clear(); // no one line is to blame
        fail(L"the command line output could not be written");
    }
    return exitStatus();
}

std::wstring userPathToWindows(const std::wstring& path) {
    bool windowsForm = path.size() >= 2 && std::iswalpha(static_cast<wint_t>(path[0])) && path[1] == L':';
    // A network path is Windows form too; taken as a native relative name it would point somewhere else.
    bool networkPath = path.rfind(L"\\\\", 0) == 0;
    if (windowsForm || networkPath) return path;
    // With the working folder removed, a relative name would be taken from the root of the disk.
    bool relative = path.empty() || path[0] != L'/';
    if (relative) {
        char* here = ::getcwd(nullptr, 0);
        if (!here) return L"";
        std::free(here);
    }
    return win::nativeToWindows(win::toNative(path));
}

std::string defaultModulePath() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    // The build puts cadhost in build/host and the module in build/module.
    for (const auto& candidate :
         {self.parent_path() / "libkelmo.so", self.parent_path().parent_path() / "module" / "libkelmo.so"})
        if (std::filesystem::exists(candidate, ec)) return candidate.string();
    return {};
}

} // namespace cadhost
