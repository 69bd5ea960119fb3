#include "shell/Prompt.h"

#include "common/AppError.h"

namespace {
Prompt *g_prompt = nullptr;
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
