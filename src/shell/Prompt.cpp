#include "shell/Prompt.h"

#include "common/AppError.h"

namespace {
Prompt *g_prompt = nullptr;
}

std::optional<SaveAnswer> Prompt::saveFileAndType(QWidget *parent, const FileDialogOptions &options)
{
    const std::optional<QString> name = saveFileName(parent, options);
    if (!name)
        return std::nullopt;
    const QString first = options.filter.section(QStringLiteral(";;"), 0, 0);
    return SaveAnswer{*name, options.selectedFilter.isEmpty() ? first : options.selectedFilter};
}

Prompt &prompt()
{
    if (!g_prompt)
        throw AppError(QStringLiteral("No prompt is installed."));
    return *g_prompt;
}

void setPrompt(Prompt *p)
{
    g_prompt = p;
}
