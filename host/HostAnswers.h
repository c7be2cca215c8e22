#pragma once
// Answers that cadhost reads from its input for message boxes and file dialogs.
#include <optional>
#include <string>

namespace cadhost {

// Button sets and results, with the values of the Windows message box.
constexpr unsigned kMbOk = 0, kMbOkCancel = 1, kMbAbortRetryIgnore = 2, kMbYesNoCancel = 3, kMbYesNo = 4,
                   kMbRetryCancel = 5;
// The second button is the default (Enter) one.
constexpr unsigned kMbDefButton2 = 0x100;
// The icon bits of the style, and the error icon: a box that tells of an error.
constexpr unsigned kMbIconMask = 0xF0, kMbIconError = 0x10;
constexpr int kIdOk = 1, kIdCancel = 2, kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5, kIdYes = 6, kIdNo = 7;

// The button an answer line presses on a box of the given type (the low four bits of the
// style). An empty line presses the default button: the first, or the second with kMbDefButton2. Nothing when the
// answer names no button of that box.
std::optional<int> messageBoxAnswer(const std::wstring& line, unsigned type);
// The result of a box that got no answer (end of input): cancel where the box has it,
// else its "no", else OK.
int messageBoxNoAnswer(unsigned type);
// The buttons of a box, for the message shown with it, e.g. "ok/cancel".
std::wstring messageBoxChoices(unsigned type);

// A file dialog answer: a path, or nothing for "cancel" or an empty line.
std::optional<std::wstring> fileDialogAnswer(const std::wstring& line);

// True for the words that answer a message box, so the command prompt can tell a stray
// answer from an unknown command.
bool isMessageBoxWord(const std::wstring& word);

} // namespace cadhost
