#pragma once
// The block dialog: one space block edited on a copy, with the "Space Data" and "Format" pages.
// OK and Apply write the copy back to the drawing; OK, Cancel and the close box end the dialog,
// which shows the block editor again and deletes itself.
#include "classlib/AfxWin.h"
#include "dialogs/MyTabCtrl.h"
#include "resources/Resource.h"

class CAcadDrawing;
class CBlockDWG;
class CPresBrenvik;
class CTabData;
class CTabFormat;

class CPresBlock : public CDialog {
public:
    enum { IDD = IDD_BLOCK };

    explicit CPresBlock(CWnd* pParent = nullptr);
    ~CPresBlock() override;

    // The dialog works on its own copy of the block.
    void setBlock(CBlockDWG* block);
    void copyBlockBack(CBlockDWG* block);
    void setDrawing(CAcadDrawing* drawing) { m_drawing = drawing; }
    void setHostWindow(CWnd* hostWindow) { m_hostWindow = hostWindow; }
    CWnd* getHostWindow() const { return m_hostWindow; }
    void setOwner(CPresBrenvik* owner) { m_owner = owner; }
    CPresBrenvik* getOwner() const { return m_owner; }

    using CDialog::Create;
    BOOL Create();
    void initialisePages();
    // FALSE when a page could not be read back: nothing was written and the dialog stays open.
    BOOL applyToBlock();
    void endDialog();

    // Whether the drawing may be worked on now (a pick needs it current). A closed drawing is
    // reported and ends this dialog (it is deleted) and the editor: the caller returns at once.
    BOOL checkDrawing(BOOL forPick);

    CTabData* getDataPage() const;
    CTabFormat* getFormatPage() const;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;
    afx_msg void OnCmdReset();
    afx_msg void OnCmdApply();
    afx_msg void OnClose();
    afx_msg void OnCmdOK();
    afx_msg void OnCmdCancel();
    DECLARE_MESSAGE_MAP()

private:
    // Throws when the space in the drawing cannot be opened for writing.
    void ensureWritable();
    // The space as the drawing holds it now; the caller holds the lock and owns the block.
    CBlockDWG* readCurrent();
    // Takes what was edited in the dialog onto the space as it stands now; FALSE, with the space left
    // to be thrown away, when the drawing changed a value edited here to something else meanwhile.
    BOOL takeEdits(CBlockDWG* current);
    // After a write the dialog goes on from what was written.
    void restartFrom(CBlockDWG* written);

    CMyTabCtrl m_tabCtrl;
    CBlockDWG* m_block;
    CBlockDWG* m_opened; // the space as it stood when the dialog read it or last wrote it
    CAcadDrawing* m_drawing;
    CWnd* m_hostWindow;
    CPresBrenvik* m_owner;
};
