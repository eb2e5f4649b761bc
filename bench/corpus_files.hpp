// corpus_files.hpp -- the texts of every regular file below a folder, in
// path order, empty files left out: the corpus of bench/index_corpus and
// bench/index_size.
#ifndef BENCH_CORPUS_FILES_HPP
#define BENCH_CORPUS_FILES_HPP

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::vector<std::string> readCorpus(const std::string& dir) {
    std::vector<std::string> paths;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.is_regular_file()) paths.push_back(e.path().string());
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> docs;
    for (const std::string& p : paths) {
        std::ifstream in(p, std::ios::binary);
        std::string t((std::istreambuf_iterator<char>(in)),
                      std::istreambuf_iterator<char>());
        if (!t.empty()) docs.push_back(std::move(t));
    }
    return docs;
}

#endif  // BENCH_CORPUS_FILES_HPP
