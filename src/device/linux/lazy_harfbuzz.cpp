// libharfbuzz and its subsetter, opened when a PDF document first embeds a
// font: the other drivers never load them.
#include <hb-subset.h>
#include <hb.h>

#include "device/linux/lazy_graphics.h"

using tolvane::HarfBuzzLibrary;
using tolvane::HarfBuzzSubsetLibrary;

TOLVANE_LAZY_FUNCTION(HarfBuzzLibrary, hb_blob_create_from_file_or_fail, 1)
TOLVANE_LAZY_FUNCTION(HarfBuzzLibrary, hb_blob_destroy, 1)
TOLVANE_LAZY_FUNCTION(HarfBuzzLibrary, hb_blob_get_data, 2)
TOLVANE_LAZY_FUNCTION(HarfBuzzLibrary, hb_blob_get_length, 1)
TOLVANE_LAZY_FUNCTION(HarfBuzzLibrary, hb_face_create, 2)
TOLVANE_LAZY_FUNCTION(HarfBuzzLibrary, hb_face_destroy, 1)
TOLVANE_LAZY_FUNCTION(HarfBuzzLibrary, hb_face_reference_blob, 1)
TOLVANE_LAZY_FUNCTION(HarfBuzzLibrary, hb_face_reference_table, 2)
TOLVANE_LAZY_FUNCTION(HarfBuzzLibrary, hb_map_get, 2)
TOLVANE_LAZY_FUNCTION(HarfBuzzLibrary, hb_set_add, 2)
TOLVANE_LAZY_FUNCTION(HarfBuzzSubsetLibrary, hb_subset_input_create_or_fail, 0)
TOLVANE_LAZY_FUNCTION(HarfBuzzSubsetLibrary, hb_subset_input_destroy, 1)
TOLVANE_LAZY_FUNCTION(HarfBuzzSubsetLibrary, hb_subset_input_glyph_set, 1)
TOLVANE_LAZY_FUNCTION(HarfBuzzSubsetLibrary, hb_subset_input_set, 2)
TOLVANE_LAZY_FUNCTION(HarfBuzzSubsetLibrary, hb_subset_input_set_flags, 2)
TOLVANE_LAZY_FUNCTION(HarfBuzzSubsetLibrary, hb_subset_plan_create_or_fail, 2)
TOLVANE_LAZY_FUNCTION(HarfBuzzSubsetLibrary, hb_subset_plan_destroy, 1)
TOLVANE_LAZY_FUNCTION(HarfBuzzSubsetLibrary, hb_subset_plan_execute_or_fail, 1)
TOLVANE_LAZY_FUNCTION(HarfBuzzSubsetLibrary, hb_subset_plan_old_to_new_glyph_mapping, 1)
