// Bytecode serialisation (written later in this file).
#include "sqvm.h"

bool sq_write_proto(SQVM* v, SQFunctionProto*, SQWRITEFUNC, SQUserPointer) {
    v->Raise_Error("serialization not supported");
    return false;
}
bool sq_read_proto(SQVM* v, SQREADFUNC, SQUserPointer, SQObjectPtr&) {
    v->Raise_Error("serialization not supported");
    return false;
}
