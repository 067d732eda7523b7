#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

// Points $HOME at a fresh temporary folder for the whole test program, so that
// nothing a test does reaches the real home folder; removed again at the end.
class TemporaryHome
{
public:
    TemporaryHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellion-home-XXXXXX").string();
        if (mkdtemp (pattern.data()) != nullptr)
        {
            path = pattern;
            setenv ("HOME", path.c_str(), 1);
        }
    }

    ~TemporaryHome()
    {
        std::error_code ignored;
        if (! path.empty())
            std::filesystem::remove_all (path, ignored);
    }

    const std::string& getPath() const noexcept { return path; }

private:
    std::string path;
};
