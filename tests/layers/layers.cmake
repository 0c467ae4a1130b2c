# Fails when a folder reaches above its layer: app -> window -> reader, check -> reader,
# simdriver -> reader. A source includes only headers of its own folder and the folders below
# it, and each program and library compiles only sources of the folder that defines it.
#   cmake -DSOURCE_DIR=... -DBINARY_DIR=... -DTARGET_SOURCES=... -P layers.cmake
# TARGET_SOURCES names a file of lines "target|folder|source|source...", the folder absolute.

set(below_reader "")
set(below_window reader)
set(below_app window reader)
set(below_check reader)
set(below_simdriver reader)
set(folders reader window app check simdriver)

# Which folder each header name belongs to; the window's form header is the window's.
foreach(folder ${folders})
    file(GLOB headers RELATIVE ${SOURCE_DIR}/${folder} ${SOURCE_DIR}/${folder}/*.h)
    foreach(header ${headers})
        set(owner_${header} ${folder})
    endforeach()
endforeach()
set(owner_ui_idcardshow.h window)

set(faults "")
foreach(folder ${folders})
    file(GLOB sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(source ${sources})
        file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line ${includes})
            string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" included "${line}")
            get_filename_component(name "${included}" NAME)
            set(owner "${owner_${name}}")
            list(FIND below_${folder} "${owner}" allowed)
            if(owner AND NOT owner STREQUAL folder AND allowed EQUAL -1)
                file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
                list(APPEND faults "${shown} includes ${included}, a header of ${owner}/")
            endif()
        endforeach()
    endforeach()
endforeach()

file(STRINGS ${TARGET_SOURCES} targets)
foreach(entry ${targets})
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 target)
    list(GET entry 1 folder)
    list(REMOVE_AT entry 0 1)
    foreach(source ${entry})
        get_filename_component(path "${source}" ABSOLUTE BASE_DIR ${folder})
        file(RELATIVE_PATH inFolder ${folder} ${path})
        file(RELATIVE_PATH inBuild ${BINARY_DIR} ${path})
        # What the build generates, moc's and uic's output or a compiled translation, is no source.
        if(inFolder MATCHES "^\\.\\./" AND inBuild MATCHES "^\\.\\./")
            file(RELATIVE_PATH shown ${SOURCE_DIR} ${path})
            list(APPEND faults "${target} compiles ${shown}, which is not in its folder")
        endif()
    endforeach()
endforeach()

if(faults)
    string(REPLACE ";" "\n  " faults "${faults}")
    message(FATAL_ERROR "Includes or sources run against the layers:\n  ${faults}")
endif()
