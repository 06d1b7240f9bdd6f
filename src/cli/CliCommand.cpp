// Shared bits of the command classes.
#include "cli/CliCommand.h"

namespace tarnwick::cli {

void Print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

void ExpectNoArguments(const QString& command, const QStringList& args)
{
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("%1: unexpected argument '%2'").arg(command, args.first()));
}

} // namespace tarnwick::cli
