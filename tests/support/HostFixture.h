#pragma once
// A host for tests: a document with a fresh drawing, queued answers to prompts, a message-box
// and file-dialog recorder with queued answers, and the captured command line.
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbEntity.h"
#include "cad/app/ApDocument.h"
#include "win/UiSink.h"

namespace kelmo_test {

struct MessageBoxCall {
    std::wstring caption, text;
    UINT type = 0;
    int answer = 0;
};

class TestHost : public win::UiSink {
public:
    // Makes a document with a new drawing (standard tables, model and paper space) and makes it
    // current; the C drive is a fresh temporary folder.
    TestHost();
    ~TestHost() override;
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    AcApDocument* document() const { return doc_; }
    AcDbDatabase* database() const { return doc_ ? doc_->database() : nullptr; }
    // A second document, made current.
    AcApDocument* addDocument(const std::wstring& fileName = L"");

    // Answers to the editor's prompts, in order (an empty text is Enter, "*Cancel*" cancels).
    void answer(const std::wstring& line);
    void answers(std::initializer_list<std::wstring> lines);
    size_t pendingAnswers() const;

    // Message boxes: every call is recorded; queued answers are given in order, then the default button.
    void answerMessageBox(int id) { boxAnswers_.push_back(id); }
    const std::vector<MessageBoxCall>& messageBoxes() const { return boxes_; }
    // File and folder dialogs: queued paths (an empty text cancels); without one they cancel.
    void answerFileDialog(const std::wstring& path) { fileAnswers_.push_back(path); }
    const std::vector<win::FileDialogRequest>& fileDialogs() const { return fileRequests_; }

    // Everything printed on the command line since the host was made or the last clear.
    std::wstring commandLine() const;
    void clearCommandLine();

    // Drawing helpers. Each opens what it needs for write and closes it again; the document is
    // locked around the change (the lock count is the same afterwards).
    AcDbObjectId addEntity(AcDbEntity* entity); // to model space
    AcDbObjectId addLayer(const std::wstring& name, int colorIndex = 7);
    // A block definition holding the entities (owned by the block afterwards).
    AcDbObjectId defineBlock(const std::wstring& name, std::vector<AcDbEntity*> entities);
    // An insert of a block in model space, with attributes made from the definition's attribute
    // definitions, the given values by tag.
    AcDbObjectId insertBlock(const std::wstring& name, const AcGePoint3d& at, double scale = 1.0, double rotation = 0.0,
                             const std::vector<std::pair<std::wstring, std::wstring>>& values = {});
    AcDbObjectId addRectangle(double x0, double y0, double x1, double y1, const std::wstring& layer = L"0");
    std::wstring handleOf(AcDbObjectId id) const;

    const std::filesystem::path& tempDir() const { return temp_; }

    // win::UiSink
    int messageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override;
    bool chooseFile(const win::FileDialogRequest& request, std::wstring& path) override;
    bool browseForFolder(const std::wstring& title, std::wstring& path) override;

private:
    void lock();
    void unlock();
    AcApDocument* doc_ = nullptr;
    std::filesystem::path temp_;
    std::deque<int> boxAnswers_;
    std::vector<MessageBoxCall> boxes_;
    std::deque<std::wstring> fileAnswers_;
    std::vector<win::FileDialogRequest> fileRequests_;
    win::UiSink* previousSink_ = nullptr;
};

// A test whose host is made before each test and taken down after it.
class HostFixture : public ::testing::Test {
protected:
    void SetUp() override { host = std::make_unique<TestHost>(); }
    void TearDown() override { host.reset(); }
    AcDbDatabase* db() const { return host->database(); }
    AcApDocument* doc() const { return host->document(); }
    std::unique_ptr<TestHost> host;
};

} // namespace kelmo_test
