#include "shell/codegen/codegen_records.h"

#include "shell/frame.h"

namespace quorvel::shell {

CodeGenRecords& codeGenRecords(Frame& frame) {
    auto* records = frame.findChild<CodeGenRecords*>("codeGenRecords", Qt::FindDirectChildrenOnly);
    if (!records) {
        records = new CodeGenRecords(&frame);
        records->setObjectName("codeGenRecords");
    }
    return *records;
}

} // namespace quorvel::shell
