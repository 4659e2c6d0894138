// The batch rename dialog ("名前の一括変更"): the scheme, and for sequence
// numbering its prefix, digit count and suffix. It renames nothing itself
// (file_commands.cpp does) and starts empty each time.
#pragma once

#include <QString>

class QWidget;

namespace quill {

// End codes: the scheme chosen, or 2 when cancelled.
enum BatchRenameScheme : int {
    kRenameSequence = 3,   // prefix, counter, suffix, ".jpg"
    kRenameFixed = 4,      // 001, 003, 004, ... ".jpg"
    kRenameExtension = 5,  // other extensions become ".jpg"
};

struct BatchRenameRecord {
    QString prefix, digits, suffix;
};

// The record is filled only for kRenameSequence.
int runBatchRenameDialog(QWidget* owner, BatchRenameRecord& record);

}  // namespace quill
