// The report template file a user opens or a module ships: any bytes either read as a template
// or fail with a TemplateError; a template read writes out to bytes that read back to the same
// bytes (saving twice gives the same file).
#include "FuzzSupport.h"
#include "print/engine/TemplateFile.h"

using Qd::Print::TemplateError;
using Qd::Print::TemplateFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Qd::Fuzz::initOnce();
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const QByteArray saved = TemplateFile::toBytes(TemplateFile::fromBytes(bytes));
        if (TemplateFile::toBytes(TemplateFile::fromBytes(saved)) != saved)
            __builtin_trap();
    } catch (const TemplateError&) {
    }
    return 0;
}
