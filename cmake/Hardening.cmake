# The hardening Debian's packages get from dpkg-buildflags (hardening=+all), for every build, so
# that the binaries the tests run are built as the ones shipped: a fortify abort or a symbol
# that -z now cannot bind shows in the suite, not first in a package.
include(CheckCXXCompilerFlag)

function(harden_if_supported flag)
    string(MAKE_C_IDENTIFIER "HAVE${flag}" result)
    check_cxx_compiler_flag("${flag}" ${result})
    if(${result})
        add_compile_options("${flag}")
    endif()
endfunction()

# Fortify needs optimisation (glibc warns without it) and is left to the caller where the flags
# already choose a level (dpkg-buildflags' CPPFLAGS). AddressSanitizer replaces the checked
# calls with its own, and fortify's would hide the overflows it reports.
string(TOUPPER "${CMAKE_BUILD_TYPE}" build_type)
set(compile_flags "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${build_type}}")
# IDCARDSHOW_FORTIFIED tells the hardening test whether to look for it.
set(IDCARDSHOW_FORTIFIED OFF)
if(compile_flags MATCHES "(^| )-O([1-9sgz]|fast)" AND NOT IDCARDSHOW_SANITIZE)
    set(IDCARDSHOW_FORTIFIED ON)
    if(NOT compile_flags MATCHES "_FORTIFY_SOURCE")
        # A compiler that defines it itself (Ubuntu's, at level 3) would take a second
        # definition as a redefinition.
        add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
    endif()
endif()

harden_if_supported(-fstack-protector-strong)
harden_if_supported(-fstack-clash-protection)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
    harden_if_supported(-fcf-protection)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    harden_if_supported(-mbranch-protection=standard)
endif()
add_compile_options(-Wformat -Werror=format-security)

# Position-independent programs: -fPIE for a program's own code (Qt's -fPIC, which its
# reduced relocations need, comes later on the command line and wins), linked with -pie.
add_compile_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-fPIE>)
add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-pie>)
add_link_options(-Wl,-z,relro -Wl,-z,now)
