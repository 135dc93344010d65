// The dialogs that choose the cluster's symmetry images: "Generation
// symmetry-related atoms" shows the SymmetryApplicationList as cluster-file
// lines, which can be read from a file, generated around an atom, a point or
// inside a box, saved as the default cluster and applied; "Lattice" sets the
// lattice type when the model has none.
#pragma once

class QWidget;
struct SpaceGroupSymmetry;
struct StructureModel;

// Runs the generation dialog modally over `model`.  True when the user
// pressed Apply: model.applications then holds the list's lines, checked
// against the model, and the caller rebuilds the cluster.  False after
// Cancel or the close box, with model.applications as it was when the dialog
// opened (Generate changes nothing else of the model but the lattice type).
// `owner` defaults to the active window.
bool run_symmetry_generation_dialog(StructureModel& model, QWidget* owner = nullptr);

// Runs the "Lattice" dialog modally; OK with a marked type sets lattice_type
// ("R(r)", rhombohedral axes, is primitive: 1).
void run_lattice_type_dialog(SpaceGroupSymmetry& space_group, QWidget* owner = nullptr);
