// A fresh temporary directory for a test's database files, removed afterwards.
#ifndef TOVI_TESTS_SUPPORT_TEMP_DIR_HPP
#define TOVI_TESTS_SUPPORT_TEMP_DIR_HPP

#include <cstdlib>
#include <string>

#include <boost/filesystem/operations.hpp>

namespace tovi_test {

class temp_dir {
public:
    temp_dir() {
        std::string pattern =
            (boost::filesystem::temp_directory_path() / "tovi-test-XXXXXX").string();
        char* made = mkdtemp(&pattern[0]);
        path_ = made != nullptr ? made : "/tmp";
    }
    ~temp_dir() {
        boost::system::error_code ignored;
        boost::filesystem::remove_all(path_, ignored);
    }
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace tovi_test

#endif
