#pragma once
// Whether a new archive would lie among the inputs it is made of. Compared
// by device and inode, as the writer compares, so that a link, a bind mount
// or another spelling of the same path cannot hide it.

#include <string>
#include <vector>

enum class OutputClash {
    None,
    IsInput,     // the output is one of the input files (or a link to it)
    InsideInput, // the output's folder is an input folder or lies below one
};

// `inputs` as the writer gets them: links are followed. An output that does
// not exist yet is judged by its folder.
OutputClash FindOutputAmongInputs(const std::string& output, const std::vector<std::string>& inputs);
