// Shared state of one read of the XD files: the master-file part and the
// parameter-file part of the reader work on it in turn.
#pragma once

#include "keldana/model/xd_files.h"
#include "keldana/model/xd_files_text.h"

#include <string>
#include <vector>

struct XdFilesRead {
    RefinementTextFile parameter;
    RefinementTextFile master;
    std::string file_title;   // names the parameter file in messages
    std::string master_path;  // names the master file in messages
    StructureModel* model = nullptr;
    XdScatteringTypes* types = nullptr;
    bool slater_present = false;
    std::vector<std::string> slater_lines;
};

// "Please, check input file format - " + the first 26 characters of the
// file's name, the detail on a new line; caption "Reading error".  False.
bool report_xd_master_error(const XdFilesRead& read, const std::string& detail);
bool report_xd_parameter_error(const XdFilesRead& read, const std::string& detail);

// Title, cell, lattice, symmetry cards, scattering types and dummy atoms.
bool read_xd_master_file(XdFilesRead& read);
