#pragma once
// One run of cadhost: opens the drawings, loads the module, reads lines from the script and
// the terminal and applies each, then cancels what is pending and unloads the module.
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HostOptions.h"

class AcEdCommand;
class AcApDocument;
namespace docfile {
class DrawingLock;
}

namespace cadhost {

class LineReader;

class Session {
public:
    Session(Options options, std::ostream& out, std::ostream& err);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Adds an input stream read after those added before (the script, then the terminal).
    // echo: lines are written after their prompt on the command line, as a terminal shows them.
    // terminalGone, for a terminal a user types at: after its end of input (Ctrl-D), whether it
    // has gone for good; until then it is read again, and the user is asked before unsaved
    // changes are dropped.
    void addInput(std::istream& in, const std::string& name, bool echo, std::function<bool()> terminalGone = nullptr);

    // The whole run; returns the exit status.
    int run();
    // The run's steps, for tests.
    bool start();  // attach, then the drawings and the module; false: exit status 3
    void attach(); // product text, C drive; takes over the command line, input and message boxes
    void loop();   // reads and applies lines until QUIT or the end of input
    void finish(); // cancels what is pending, unloads the module, closes its drawings unsaved

    // Applies one line given at the "Command: " prompt. False (and a report on the error
    // stream) when it cannot be applied.
    bool executeLine(const std::wstring& line);
    // The next input line, from text sent to the document, then the inputs in turn. Ctrl-C
    // gives *Cancel* (interrupted() tells it from a typed one); the end of input at a terminal
    // inside a command gives nothing to every request until the command line is back.
    std::optional<std::wstring> nextLine();
    bool interrupted() const { return interrupted_; }
    // The next answer for a prompt of the editor: dialog actions met on the way are carried out.
    std::optional<std::wstring> promptLine();
    // Handles the messages posted to dialogs and the dialog actions queued, as the host's message loop does.
    void deliverPending();
    // Reports a line that could not be applied: on the error stream with the line's place,
    // and in the exit status.
    void fail(const std::wstring& message);
    // Reports an answer refused by what asked it: at a terminal the user is asked again and the
    // exit status stays; from a script or a pipe it is a line that could not be applied.
    void refuse(const std::wstring& message);
    int exitStatus() const { return failed_ ? kExitLineFailed : kExitOk; }
    bool quitRequested() const { return quit_; }

    // Lines beginning "dlg" go here (the dialog driver's commands unless replaced); the handler
    // returns false when the action cannot be applied and reports why through fail().
    using DialogHandler = std::function<bool(Session&, const std::wstring& line)>;
    void setDialogHandler(DialogHandler h) { dialogs_ = std::move(h); }
    // Called at the end of input to cancel dialogs that are still open.
    void setDialogCloser(std::function<void()> f) { closeDialogs_ = std::move(f); }

    static Session* current();

private:
    struct Input;
    bool openDrawing(const std::wstring& path);
    bool saveDrawing(const std::wstring& path);
    bool plotDrawing(const std::wstring& path);
    bool closeDrawing();
    // A drawing that came to be open, by the command line, OPEN, a command or the batch: held with a
    // lock, and counted among the session's drawings when the session answers for its changes.
    void adopt(AcApDocument* doc);
    // A drawing closed, by the session or by a command: it is no longer held or counted.
    void forget(AcApDocument* doc);
    // Whether the session answers for the changes of drawings commands open: it reads lines (a
    // session that only hosts the batch closes its drawings unsaved by design).
    bool answersForChanges() const { return opening_ || !inputs_.empty(); }
    bool saveDocument(AcApDocument* doc, const std::wstring& path);
    // Whether a save may replace the file, which another session or program changed since the
    // drawing was read or last saved: at a terminal the user is asked; elsewhere it is refused.
    bool mayReplaceChanged(const std::wstring& target, const std::wstring& what = {});
    // Holds the drawing's file for this session with a lock beside it; `tell`: says who holds it
    // when another session does.
    void lockDrawing(AcApDocument* doc, bool tell);
    void unlockDrawing(AcApDocument* doc);
    // Whether someone reads the questions: the input now read is a terminal.
    bool interactive() const;
    // Before drawings are closed unsaved: at a terminal the user is asked, for each one changed
    // since it was last saved, to save it, discard the changes or cancel (false); elsewhere
    // nobody can answer, and what is dropped is named on the error stream.
    bool mayDropChanges(const std::vector<AcApDocument*>& docs);
    // Whether closing the drawing unsaved loses changes the user did not agree to lose.
    bool dropsUnasked(AcApDocument* doc) const;
    // Says on the error stream that the drawing's unsaved changes are dropped.
    void noteDropped(AcApDocument* doc);
    static std::string droppedText(const AcApDocument* doc);
    // What a signal that ends cadhost says: the drawings this session opened whose changes it would
    // drop unasked (all but `leaving`, which is being closed).
    void prepareSignalNotes(const AcApDocument* leaving = nullptr);
    // The path in Windows form, or empty (reported) when it cannot be told where it is.
    std::wstring windowsPathOf(const std::wstring& path);
    bool runCommand(AcEdCommand* cmd);
    bool loadModule();
    std::wstring place() const;
    // A line on the error stream with the place of the line read last.
    void report(const std::wstring& message);

    Options options_;
    std::ostream& out_;
    std::ostream& err_;
    std::vector<std::unique_ptr<Input>> inputs_;
    size_t inputIndex_ = 0;
    std::wstring lastPlace_;
    bool failed_ = false;
    bool quit_ = false;
    bool finished_ = false;
    bool atCommandLine_ = false;
    bool cancelling_ = false; // the end of input at a terminal cancels the command it is met in
    bool interrupted_ = false;
    bool opening_ = false;                  // the session itself opens a drawing (the command line, OPEN)
    bool applying_ = false;                 // a line is being applied
    bool endedInCommand_ = false;           // the input ended while a line's command still asked for answers
    std::vector<AcApDocument*> dropAgreed_; // drawings whose changes the user chose to discard
    DialogHandler dialogs_;
    std::function<void()> closeDialogs_;
    std::vector<AcApDocument*> opened_; // drawings this session opened
    std::map<AcApDocument*, std::unique_ptr<docfile::DrawingLock>> locks_;
    struct Sink;
    std::unique_ptr<Sink> sink_;
    struct Watch;
    std::unique_ptr<Watch> watch_;
};

// A path as typed by the user (native, relative to the working folder, or Windows form)
// in the Windows form the host services take; empty for a relative path when the working
// folder has been removed.
std::wstring userPathToWindows(const std::wstring& path);
// The module built beside the running cadhost, when there is one.
std::string defaultModulePath();

} // namespace cadhost
