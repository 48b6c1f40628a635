# Fails when a source file under SOURCE_DIR includes a header of a folder in
# its own layer or a layer above. LAYERS lists the layers from the bottom up,
# separated by "|"; folders of one layer are separated by ",".
#
#   cmake -DSOURCE_DIR=src -DLAYERS="platform|util|station|xml,folders" -P CheckLayers.cmake
string(REPLACE "|" ";" _layers "${LAYERS}")
set(_rank 0)
set(_folders)
foreach(layer IN LISTS _layers)
    string(REPLACE "," ";" _members "${layer}")
    foreach(folder IN LISTS _members)
        set(_rank_${folder} ${_rank})
        list(APPEND _folders ${folder})
    endforeach()
    math(EXPR _rank "${_rank} + 1")
endforeach()

set(_violations 0)
foreach(folder IN LISTS _folders)
    file(GLOB_RECURSE _files "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
    foreach(path IN LISTS _files)
        file(STRINGS "${path}" _includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[A-Za-z_]+/")
        foreach(line IN LISTS _includes)
            string(REGEX MATCH "\"([A-Za-z_]+)/" _m "${line}")
            set(target "${CMAKE_MATCH_1}")
            if(DEFINED _rank_${target} AND NOT target STREQUAL folder
               AND NOT _rank_${target} LESS _rank_${folder})
                file(RELATIVE_PATH _rel "${SOURCE_DIR}" "${path}")
                message(SEND_ERROR "${_rel}: ${line} reaches ${target}/, which is not below ${folder}/")
                math(EXPR _violations "${_violations} + 1")
            endif()
        endforeach()
    endforeach()
endforeach()
if(_violations GREATER 0)
    message(FATAL_ERROR "${_violations} include(s) against the layer order ${LAYERS}")
endif()
message(STATUS "every include follows the layer order ${LAYERS}")
