# The code-generation templates: each resources/templates/<NAME>.tpl becomes a
# generated C++ file defining quorvel::templates::<NAME> (its bytes) and
# <NAME>_size, compiled into quorvel_core (see embed_template.cmake).
set(QUORVEL_TEMPLATE_NAMES
  CODE_GENERATION_LCD_DEMO
  CODE_GENERATION_LED_NONMUX_7SEG_DEMO
  CODE_GENERATION_KEYBOARD_DEMO
  I2CBUS_DEMO
  SPI_EEPROM_DEMO
  SERIALPORT_DEMO)
set(QUORVEL_TEMPLATE_DIR ${CMAKE_SOURCE_DIR}/resources/templates)
set(QUORVEL_TEMPLATE_OUT ${CMAKE_BINARY_DIR}/generated/templates)
foreach(name IN LISTS QUORVEL_TEMPLATE_NAMES)
  set(input ${QUORVEL_TEMPLATE_DIR}/${name}.tpl)
  set(output ${QUORVEL_TEMPLATE_OUT}/${name}.cpp)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORVEL_TEMPLATE_OUT}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DSYMBOL=${name}
            -P ${CMAKE_SOURCE_DIR}/src/codegen/embed_template.cmake
    DEPENDS ${input} ${CMAKE_SOURCE_DIR}/src/codegen/embed_template.cmake
    COMMENT "Embedding template ${name}")
  target_sources(quorvel_core PRIVATE ${output})
endforeach()
