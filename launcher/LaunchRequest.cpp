#include "LaunchRequest.h"

#include "base/Paths.h"

LaunchRequest ParseLaunchRequest(const std::vector<std::wstring>& args)
{
    std::vector<LPCWSTR> argv;
    for (const std::wstring& arg : args)
        argv.push_back(arg.c_str());
    return ParseUpdateRequest(argv.data(), static_cast<int>(argv.size()));
}

std::vector<std::wstring> LibraryArguments(const std::vector<std::wstring>& args, LibraryRound round)
{
    const auto isLaunchers = [](const std::wstring& arg) {
        if (arg.size() < 2 || (arg[0] != L'/' && arg[0] != L'-'))
            return false;
        const std::wstring_view name = std::wstring_view(arg).substr(1);
        return EqualIgnoringCase(name, kAppliesDeltasSwitch) || EqualIgnoringCase(name, kFullPackageSwitch);
    };
    std::vector<std::wstring> out;
    if (round == LibraryRound::FullPackage) {
        out = {args.empty() ? std::wstring() : args[0], ParseLaunchRequest(args).url};
        out.push_back(std::wstring(L"/") + kFullPackageSwitch);
        return out;
    }
    for (const std::wstring& arg : args) {
        if (!isLaunchers(arg))
            out.push_back(arg);
    }
    out.push_back(std::wstring(L"/") + kAppliesDeltasSwitch);
    return out;
}
