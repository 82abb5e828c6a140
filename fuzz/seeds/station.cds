<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<DATAPACKET Version="2.0">
  <METADATA>
    <FIELDS>
      <FIELD attrname="CDFILIAL" fieldtype="string" WIDTH="4"/>
      <FIELD attrname="CDLOJA" fieldtype="string" WIDTH="4"/>
      <FIELD attrname="IDESQUEMA" fieldtype="string" WIDTH="3"/>
      <FIELD attrname="CDCAIXA" fieldtype="string" WIDTH="3"/>
      <FIELD attrname="SISTEMAQTRNFCE" fieldtype="boolean"/>
      <FIELD attrname="SISTEMAQTRSAT" fieldtype="boolean"/>
      <FIELD attrname="NMESTACAO" fieldtype="string" WIDTH="40"/>
    </FIELDS>
    <PARAMS/>
  </METADATA>
  <ROWDATA>
    <ROW CDFILIAL="0001" CDLOJA="01" IDESQUEMA="001" CDCAIXA="001" SISTEMAQTRNFCE="FALSE" SISTEMAQTRSAT="FALSE" NMESTACAO="CAIXA 01 - SALÃO"/>
  </ROWDATA>
</DATAPACKET>
