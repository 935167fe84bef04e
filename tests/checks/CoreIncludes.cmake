# The core must build with the C++ standard library alone: it reaches the desktop
# only through the ports. GTK, GLib, Xlib and nlohmann headers all live in
# /usr/include, so include paths alone would not stop a stray #include.
file(GLOB_RECURSE core_files ${SOURCE_DIR}/core/*.h ${SOURCE_DIR}/core/*.cpp)
set(standard_headers
    algorithm any array climits atomic bit bitset cassert cctype cerrno charconv chrono cmath
    compare concepts cstddef cstdint cstdio cstdlib cstring ctime deque exception
    filesystem functional initializer_list iomanip ios iosfwd iostream istream iterator
    limits list map memory mutex numeric optional ostream queue random ranges set
    span sstream stdexcept string string_view system_error thread tuple type_traits
    unordered_map unordered_set utility variant vector)
set(failures "")
foreach(file IN LISTS core_files)
    file(STRINGS ${file} include_lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS include_lines)
        if(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
            list(FIND standard_headers "${CMAKE_MATCH_1}" found)
            if(found EQUAL -1)
                string(APPEND failures "${file}: <${CMAKE_MATCH_1}>\n")
            endif()
        elseif(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
            if(NOT CMAKE_MATCH_1 MATCHES "^(core|platform)/")
                string(APPEND failures "${file}: \"${CMAKE_MATCH_1}\"\n")
            endif()
        else()
            string(APPEND failures "${file}: unrecognised ${line}\n")
        endif()
    endforeach()
endforeach()
if(failures)
    message(FATAL_ERROR "core includes outside the allow-list:\n${failures}")
endif()
list(LENGTH core_files count)
message(STATUS "${count} core files include only the standard library, core and ports")
