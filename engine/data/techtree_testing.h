// Test support of the technology tree: a small tree with prerequisites, a chain and a self-dependency.
#pragma once

inline constexpr char kFerroxTestTechnologies[] =
    "<TECHNOLOGIES>\n"
    "<cleaning>\n"
    "<mop>\n1000\n3\n2000\n</mop>\n"
    "<vacuum>\n1001\n2\n4000\n<prerequisits>\n1000\n</prerequisits>\n</vacuum>\n"
    "<robot>\n1002\n5\n<prerequisits>\n1001\n\n1000\n</prerequisits>\n</robot>\n"
    "</cleaning>\n"
    "<security>\n"
    "<guard>\n4000\n1\n</guard>\n"
    "<self>\n4001\n1\n<prerequisits>\n4001\n</prerequisits>\n</self>\n"
    "</security>\n"
    "</TECHNOLOGIES>\n";
