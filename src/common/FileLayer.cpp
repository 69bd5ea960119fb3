#include "common/FileLayer.h"

#include <QFile>

#include <filesystem>
#include <system_error>

namespace {

std::filesystem::path fsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

class SystemFileLayer : public FileLayer
{
public:
    bool exists(const QString &path) override
    {
        std::error_code error;
        return std::filesystem::exists(fsPath(path), error);
    }

    bool copy(const QString &from, const QString &to) override
    {
        std::error_code error;
        return std::filesystem::copy_file(fsPath(from), fsPath(to),
                                          std::filesystem::copy_options::overwrite_existing, error) &&
               !error;
    }
};

FileLayer *g_layer = nullptr;

} // namespace

FileLayer &systemFileLayer()
{
    static SystemFileLayer layer;
    return layer;
}

FileLayer &fileLayer()
{
    return g_layer ? *g_layer : systemFileLayer();
}

void setFileLayer(FileLayer *layer)
{
    g_layer = layer;
}
