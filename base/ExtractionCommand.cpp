#include "base/ExtractionCommand.h"

#include "base/CommandLine.h"
#include "base/Paths.h"

namespace {

std::wstring QuotePath(const std::wstring& path)
{
    const bool bTrailingSeparator = !path.empty() && path.back() == L'\\';
    return QuoteArgument(bTrailingSeparator ? path + L"." : path, true);
}

std::wstring UnquotedPath(std::wstring path)
{
    if (path.size() >= 2 && path.compare(path.size() - 2, 2, L"\\.") == 0)
        path.pop_back();
    return path;
}

} // namespace

std::wstring BuildExtractionCommand(const std::wstring& program, const std::wstring& folder,
                                    const std::wstring& package)
{
    std::wstring command = QuoteArgument(program) + L" /Y /E /A /L ";
    if (folder.empty() && package.empty())
        return command;
    return command + QuotePath(folder) + L" " + QuotePath(package);
}

ExtractionTarget ParseExtractionCommand(const std::wstring& command)
{
    const std::vector<std::wstring> args = SplitCommandLine(command);
    for (size_t i = 0; i < args.size(); ++i) {
        if (!EqualIgnoringCase(args[i], L"/L"))
            continue;
        if (i + 2 < args.size() && !args[i + 1].empty() && !args[i + 2].empty())
            return {UnquotedPath(args[i + 1]), UnquotedPath(args[i + 2])};
        break;
    }
    return {};
}
