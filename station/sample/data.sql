-- Sample store: branch 0001 of a burger restaurant. Tests and the station's sample
-- session rely on these codes; keep them stable.
--
-- Stores (LOJA, branch 0001)
--   01  demands an observation on cancellations (IDOBRIGAOBSCAN 'S'); groups:
--       order 01, item cancellation 03, sale cancellation 02, discount 04
--   02  does not demand it ('N'); same groups, but its discount group 05 is empty
--   03  every group column null and no flag: empty lists, no demand
--   branch 0002 store 01 orders from group 06 (the branch filter matters)
-- Occurrence groups (GRUPOCOR)
--   01 order notes (35 occurrences), 02 sale cancellation, 03 item cancellation,
--   04 discount reasons, 05 empty, 06 order notes of branch 0002
-- Order occurrences (group 01) and their products
--   1001 HAMBURGUER: occurrences 01..32 (more than the 28 buttons: the search list matters)
--   1002 PICANHA: 01 (linked twice), 08, 11, 17
--   1003 FILE DE FRANGO: 01..05, 11, 16
--   1004 SUCO: 24, 25, 33, 34, 35 (no PRODUTO row)
--   1005 SALADA: 03, 18, 21 (fractional maximum 1.5)
--   Controlled "A" (priced): 11 -> 2001 priced 4.50, 12 -> 2002 priced 6.90,
--     13 -> 2003 without price, 14 -> 2004 price zero, 15 -> 2005 blocked
--   Controlled "R": 16 -> 2011, 17 -> 2010, 20 -> 2012
--   Uncontrolled: 'N' everywhere else; 32 has no control flag at all
-- Item cancellation (group 03): 1001 has its own (01, 03), 1003 has 02; every other
--   product falls back to the whole group (01..06)
-- Maximum of controlled observations (PRODUTO.QTMAXOBSERV)
--   1001 -> 2, 1002 -> 0, 1003 -> null (9999), 1004 -> no row (9999), 1005 -> 1.5
-- Sales (VENDA, branch 0001): till 001 up to 0000000123, till 002 none,
--   till 003 at 2147483647 (past a 32-bit integer once incremented);
--   branch 0002 till 001 at 0000000500

INSERT INTO GRUPOCOR (CDGRPOCOR, DSGRPOCOR) VALUES
    ('01', 'OBSERVAÇÕES DE PEDIDO'),
    ('02', 'CANCELAMENTO DE VENDA'),
    ('03', 'CANCELAMENTO DE ITEM'),
    ('04', 'MOTIVOS DE DESCONTO'),
    ('05', 'DESCONTOS (SEM OCORRÊNCIAS)'),
    ('06', 'OBSERVAÇÕES DE PEDIDO FILIAL 2');

INSERT INTO OCORRENCIA (CDGRPOCOR, CDOCORR, CDTIPRISCO, DSOCORR, CDPRODUTO, IDCONTROLAOBS) VALUES
    ('01', '01', '00', 'SEM CEBOLA', NULL, 'N'),
    ('01', '02', '00', 'SEM TOMATE', NULL, 'N'),
    ('01', '03', '00', 'SEM ALFACE', NULL, 'N'),
    ('01', '04', '00', 'SEM PICLES', NULL, 'N'),
    ('01', '05', '00', 'SEM MAIONESE', NULL, 'N'),
    ('01', '06', '00', 'SEM MOSTARDA', NULL, 'N'),
    ('01', '07', '00', 'SEM KETCHUP', NULL, 'N'),
    ('01', '08', '00', 'BEM PASSADO', NULL, 'N'),
    ('01', '09', '00', 'AO PONTO', NULL, 'N'),
    ('01', '10', '00', 'MAL PASSADO', NULL, 'N'),
    ('01', '11', '00', 'EXTRA QUEIJO', '2001', 'A'),
    ('01', '12', '00', 'EXTRA BACON', '2002', 'A'),
    ('01', '13', '00', 'ADICIONAR OVO', '2003', 'A'),
    ('01', '14', '00', 'CEBOLA CARAMELIZADA', '2004', 'A'),
    ('01', '15', '00', 'EXTRA CHEDDAR', '2005', 'A'),
    ('01', '16', '02', 'PÃO SEM GLÚTEN', '2011', 'R'),
    ('01', '17', '00', 'TROCAR FRITAS POR SALADA', '2010', 'R'),
    ('01', '18', '00', 'MOLHO À PARTE', NULL, 'N'),
    ('01', '19', '00', 'CORTAR AO MEIO', NULL, 'N'),
    ('01', '20', '00', 'PARA VIAGEM', '2012', 'R'),
    ('01', '21', '00', 'SEM SAL', NULL, 'N'),
    ('01', '22', '00', 'POUCO SAL', NULL, 'N'),
    ('01', '23', '00', 'PÃO BEM TOSTADO', NULL, 'N'),
    ('01', '24', '00', 'SEM GELO', NULL, 'N'),
    ('01', '25', '00', 'COM GELO E LIMÃO', NULL, 'N'),
    ('01', '26', '01', 'ALERGIA A AMENDOIM', NULL, 'N'),
    ('01', '27', '00', 'SERVIR PRIMEIRO A CRIANÇA', NULL, 'N'),
    ('01', '28', '00', 'CAPRICHAR NO MOLHO', NULL, 'N'),
    ('01', '29', '00', 'MOLHO BARBECUE', NULL, 'N'),
    ('01', '30', '00', 'SEM PIMENTA', NULL, 'N'),
    ('01', '31', '00', 'PIMENTA À PARTE', NULL, 'N'),
    ('01', '32', '00', 'SERVIR JUNTO COM A ENTRADA', NULL, NULL),
    ('01', '33', '00', 'BEM GELADO', NULL, 'N'),
    ('01', '34', '00', 'SEM AÇÚCAR', NULL, 'N'),
    ('01', '35', '00', 'COM ADOÇANTE', NULL, 'N'),
    ('02', '01', '00', 'CLIENTE DESISTIU DA COMPRA', NULL, 'N'),
    ('02', '02', '00', 'ERRO NO LANÇAMENTO DA VENDA', NULL, 'N'),
    ('02', '03', '00', 'PAGAMENTO RECUSADO', NULL, 'N'),
    ('02', '04', '00', 'VENDA EM DUPLICIDADE', NULL, 'N'),
    ('02', '05', '00', 'CLIENTE SEM DOCUMENTO', NULL, 'N'),
    ('03', '01', '00', 'ITEM LANÇADO ERRADO', NULL, 'N'),
    ('03', '02', '00', 'DESISTÊNCIA DO CLIENTE', NULL, 'N'),
    ('03', '03', '00', 'DEMORA NO PREPARO', NULL, 'N'),
    ('03', '04', '00', 'PRODUTO EM FALTA', NULL, 'N'),
    ('03', '05', '00', 'ITEM CHEGOU FRIO', NULL, 'N'),
    ('03', '06', '00', 'ITEM DEVOLVIDO PELA COZINHA', NULL, 'N'),
    ('04', '01', '00', 'CLIENTE FIDELIDADE', NULL, 'N'),
    ('04', '02', '00', 'CORTESIA DA CASA', NULL, 'N'),
    ('04', '03', '00', 'ANIVERSARIANTE DO DIA', NULL, 'N'),
    ('04', '04', '00', 'REFEIÇÃO DE FUNCIONÁRIO', NULL, 'N'),
    ('04', '05', '00', 'ATRASO NA ENTREGA DO PEDIDO', NULL, 'N'),
    ('04', '06', '00', 'CUPOM PROMOCIONAL', NULL, 'N'),
    ('06', '01', '00', 'PONTO DA CASA', NULL, 'N'),
    ('06', '02', '00', 'SEM COENTRO', NULL, 'N');

INSERT INTO PRODOCORRE (CDGRPOCOR, CDOCORR, CDPRODUTO) VALUES
    ('01', '01', '1001'), ('01', '02', '1001'), ('01', '03', '1001'), ('01', '04', '1001'),
    ('01', '05', '1001'), ('01', '06', '1001'), ('01', '07', '1001'), ('01', '08', '1001'),
    ('01', '09', '1001'), ('01', '10', '1001'), ('01', '11', '1001'), ('01', '12', '1001'),
    ('01', '13', '1001'), ('01', '14', '1001'), ('01', '15', '1001'), ('01', '16', '1001'),
    ('01', '17', '1001'), ('01', '18', '1001'), ('01', '19', '1001'), ('01', '20', '1001'),
    ('01', '21', '1001'), ('01', '22', '1001'), ('01', '23', '1001'), ('01', '24', '1001'),
    ('01', '25', '1001'), ('01', '26', '1001'), ('01', '27', '1001'), ('01', '28', '1001'),
    ('01', '29', '1001'), ('01', '30', '1001'), ('01', '31', '1001'), ('01', '32', '1001'),
    ('01', '01', '1002'), ('01', '01', '1002'), ('01', '08', '1002'), ('01', '11', '1002'),
    ('01', '17', '1002'),
    ('01', '01', '1003'), ('01', '02', '1003'), ('01', '03', '1003'), ('01', '04', '1003'),
    ('01', '05', '1003'), ('01', '11', '1003'), ('01', '16', '1003'),
    ('01', '24', '1004'), ('01', '25', '1004'), ('01', '33', '1004'), ('01', '34', '1004'),
    ('01', '35', '1004'),
    ('01', '03', '1005'), ('01', '18', '1005'), ('01', '21', '1005'),
    ('03', '01', '1001'), ('03', '03', '1001'),
    ('03', '02', '1003'),
    ('06', '01', '1001'), ('06', '02', '1001');

INSERT INTO LOJA (CDFILIAL, CDLOJA, NMLOJA, CDGRPOCORCAN, CDGRPOCORCANCUP, CDGRPOCORPED,
                  CDGRPOCORDESC, IDOBRIGAOBSCAN) VALUES
    ('0001', '01', 'SALÃO PRINCIPAL', '03', '02', '01', '04', 'S'),
    ('0001', '02', 'DELIVERY', '03', '02', '01', '05', 'N'),
    ('0001', '03', 'QUIOSQUE DO SHOPPING', NULL, NULL, NULL, NULL, NULL),
    ('0002', '01', 'FILIAL CENTRO', '03', '02', '06', '04', 'N');

INSERT INTO VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, CDLOJA, DTVENDA, VRTOTVENDA) VALUES
    ('0001', '001', '0000000121', '01', '2026-12-07 12:31:00', 48.80),
    ('0001', '001', '0000000123', '01', '2026-12-07 13:05:00', 32.90),
    ('0001', '001', '0000000122', '01', '2026-12-07 12:47:00', 71.40),
    ('0001', '003', '2147483647', '02', '2026-12-07 19:20:00', 25.00),
    ('0002', '001', '0000000500', '01', '2026-12-07 20:10:00', 39.90);

INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, QTMAXOBSERV) VALUES
    ('1001', 'HAMBÚRGUER ARTESANAL', 2),
    ('1002', 'PICANHA NA CHAPA', 0),
    ('1003', 'FILÉ DE FRANGO GRELHADO', NULL),
    ('1005', 'SALADA DA CASA', 1.5),
    ('2001', 'ADICIONAL QUEIJO PRATO', NULL),
    ('2002', 'ADICIONAL BACON', NULL),
    ('2003', 'ADICIONAL OVO', NULL),
    ('2004', 'ADICIONAL CEBOLA CARAMELIZADA', NULL),
    ('2005', 'ADICIONAL CHEDDAR', NULL),
    ('2010', 'TROCA POR SALADA', NULL),
    ('2011', 'PÃO SEM GLÚTEN', NULL),
    ('2012', 'EMBALAGEM PARA VIAGEM', NULL);

INSERT INTO PRECOPROD (CDFILIAL, CDLOJA, CDPRODUTO, VRPRECO, IDPRODBLOQ) VALUES
    ('0001', '01', '1001', 32.90, 'N'), ('0001', '02', '1001', 34.90, 'N'),
    ('0001', '01', '1002', 59.90, 'N'), ('0001', '02', '1002', 62.90, 'N'),
    ('0001', '01', '1003', 38.50, 'N'), ('0001', '02', '1003', 39.50, 'N'),
    ('0001', '01', '2001', 4.50, 'N'),  ('0001', '02', '2001', 4.50, 'N'),
    ('0001', '01', '2002', 6.90, 'N'),  ('0001', '02', '2002', 6.90, 'N'),
    ('0001', '01', '2004', 0, 'N'),     ('0001', '02', '2004', 0, 'N'),
    ('0001', '01', '2005', 5.00, 'S'),  ('0001', '02', '2005', 5.00, 'S'),
    ('0001', '01', '2010', 3.00, 'N'),  ('0001', '01', '2011', 2.50, 'N'),
    ('0001', '01', '2012', 1.00, 'N');
