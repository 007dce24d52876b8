# The program's stand-alone dialogs (Batch Processor, Duplicate Channel, Polyphony Sequence).
# Included by app/CMakeLists.txt before its own targets.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets)

set(QUELLOR_DIALOGS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(QUELLOR_RESOURCES_DIR ${CMAKE_CURRENT_LIST_DIR}/../resources)

add_library(quellor_dialogs STATIC
    ${QUELLOR_DIALOGS_DIR}/PathHistory.cpp
    ${QUELLOR_DIALOGS_DIR}/PathHistory.h
    ${QUELLOR_DIALOGS_DIR}/CDlgBatch.cpp
    ${QUELLOR_DIALOGS_DIR}/CDlgBatch.h
    ${QUELLOR_DIALOGS_DIR}/CDlgDuplicateChannel.cpp
    ${QUELLOR_DIALOGS_DIR}/CDlgDuplicateChannel.h
    ${QUELLOR_DIALOGS_DIR}/CDlgPolyphony.cpp
    ${QUELLOR_DIALOGS_DIR}/CDlgPolyphony.h
    ${QUELLOR_DIALOGS_DIR}/CPolyphonyGraph.cpp
    ${QUELLOR_DIALOGS_DIR}/CPolyphonyGraph.h
    ${QUELLOR_DIALOGS_DIR}/LoadWords.cpp
    ${QUELLOR_DIALOGS_DIR}/LoadWords.h
    ${QUELLOR_RESOURCES_DIR}/StringTable.cpp
    ${QUELLOR_RESOURCES_DIR}/CDlgBatch.ui
    ${QUELLOR_RESOURCES_DIR}/CDlgDuplicateChannel.ui
    ${QUELLOR_RESOURCES_DIR}/CDlgPolyphony.ui
)
set_target_properties(quellor_dialogs PROPERTIES
    AUTOMOC ON
    AUTOUIC ON
    AUTOUIC_SEARCH_PATHS ${QUELLOR_RESOURCES_DIR}
)
target_link_libraries(quellor_dialogs PUBLIC quellor_song quellor_graph Qt6::Widgets)
quellor_warnings(quellor_dialogs)
