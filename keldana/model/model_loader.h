// Loading a structure model: the reader of the input type, everything the
// calculations derive from it (Cartesian coordinates, the orthogonalisation
// matrix, symmetry operators, local frames, global-frame populations, the
// symmetry cluster, the wavefunction bank and its radial tables) and the
// load report in the listing file.
//
// The model is read into a fresh StructureModel and becomes the current one
// only when every step succeeded: a failed load leaves the previous model,
// its bank, its critical points, the caption and the menus as they were.
#pragma once

#include <string>

struct StructureModel;

// Loads input_file_path of OutputFileNames with the reader of input_type
// ("kdn", "mol", "xdi"); dialog_path and file_title of FileDialogState name
// the file in the caption and the default surface file name.  Returns true
// when the model was loaded and committed.
bool load_structure_file();

// Connects the model library to the density and topology libraries that
// build on it (local frames and rotations for the cluster, per-load resets).
// Called once at start-up; calling it again changes nothing.
void install_model_services();
