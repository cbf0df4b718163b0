# Emits {"NAME", NAME} for every `inline constexpr TYPE NAME = ...;` of the TWAIN header and
# {"TW_X", sizeof(TW_X)} for every structure it defines.
file(STRINGS ${HEADER} lines)
set(consts "")
set(structs "")
foreach(line IN LISTS lines)
    if(line MATCHES "^inline constexpr [A-Z0-9_]+ ([A-Z][A-Z0-9_]*) = ")
        string(APPEND consts "    {\"${CMAKE_MATCH_1}\", static_cast<long long>(${CMAKE_MATCH_1})},\n")
    elseif(line MATCHES "^struct (TW_[A-Z0-9_]+) {")
        string(APPEND structs "    {\"${CMAKE_MATCH_1}\", sizeof(${CMAKE_MATCH_1})},\n")
    endif()
endforeach()
file(WRITE ${OUT} "// Generated from twaindefs.h.\nstatic const NamedValue kConstants[] = {\n${consts}};\nstatic const NamedValue kStructSizes[] = {\n${structs}};\n")
