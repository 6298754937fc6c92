// A guest's request line: any bytes give a request or a refusal, never a crash; what is
// accepted can only put well-formed command lines on the display's line.
#include "FuzzCheck.h"
#include "session/SessionRequest.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView line(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto parsed = SessionRequest::parse(line);
    if (const auto* refusal = std::get_if<SessionRequest::Refusal>(&parsed)) {
        require(!refusal->text.isEmpty(), "a refusal says why");
        return 0;
    }
    const SessionRequest& request = std::get<SessionRequest>(parsed);
    require(request.id.isNull() || request.id.isDouble() || request.id.isString(),
            "an id to give back");
    require(request.lines.size() <= SessionRequest::maxCommands, "bounded requests");
    for (const QString& command : request.lines) {
        require(!command.isEmpty() && command.size() <= SessionRequest::maxCommandLength,
                "a command line of bounded length");
        for (const QChar c : command)
            require(c.unicode() >= 0x20 && c != u'\x7f', "no control character on the line");
    }
    if (request.kind == SessionRequest::Kind::set) {
        require(request.action.has_value(), "a set names its action");
        const QString text = request.action->commandText();
        require(text.startsWith(QStringLiteral("set ")) && !text.contains(u'\r') &&
                    !text.contains(u'\n'),
                "a set becomes one set line");
    }
    if (request.kind == SessionRequest::Kind::raw)
        require(!request.bytes.isEmpty(), "raw bytes to send");
    return 0;
}
