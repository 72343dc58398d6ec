#include "IR_list.h"

const std::array<IREntry, 8> IR_list{ {
    { true, "Neutral", "" },
    { false, "N1073", "IR_01_Neve1073_dc_wav" },
    { false, "A512", "IR_02_API512_dc_wav" },
    { false, "D1960", "IR_03_DRAWMER1960_dc_wav" },
    { false, "MP573", "IR_04_SS_MP573_dc_wav" },
    { false, "MP1", "IR_05_OSA_MP1_dc_wav" },
    { false, "1176", "IR_06_UA1176_dc_wav" },
    { false, "TLA50", "IR_08_TLA50_dc_wav" },
} };
